// The main window filled in from a site profile by the same handlers as a
// technician's hands: option buttons and check boxes clicked, addresses
// typed key by key into the octet boxes, the country picked from its list.
// The order of the steps is the profile's own (profile::EnterSettings).
#include "form1.h"

#include "message_boxes.h"
#include "profile_answers.h"
#include "profile_reader.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>

#include <span>
#include <utility>

using profile::AddressRow;
using profile::AudioCheck;
using profile::Question;

class Form1::ProfileEntry final : public profile::AnswerEntry {
public:
    explicit ProfileEntry(Form1 &form) : f_(form) {}

    void ChooseProtocol(Protocol protocol) override
    {
        QRadioButton *option = protocol == Protocol::IPOnTheFly ? f_.Option2
            : protocol == Protocol::StandardIP                  ? f_.Option3
                                                                : f_.Option1;
        option->click();
    }

    void Answer(Question question, bool yes) override
    {
        const auto [yesButton, noButton] = Buttons(question);
        (yes ? yesButton : noButton)->click();
    }

    [[nodiscard]] bool IsOpen(Question question) const override { return Buttons(question).first->isEnabled(); }
    [[nodiscard]] bool IsOpen(AddressRow row) const override { return Boxes(row).front()->isEnabled(); }

    void Type(AddressRow row, std::string_view text) override
    {
        const auto boxes = Boxes(row);
        boxes.front()->setFocus(Qt::OtherFocusReason);
        for (const char c : text) {
            // Each key goes to the box that has the focus, as the change
            // handler left it; the box's length limit drops a key too many.
            QLineEdit *box = boxes.front();
            for (QLineEdit *b : boxes)
                if (b == f_.focusWidget())
                    box = b;
            box->end(false);
            box->insert(QString(QLatin1Char(c)));
        }
    }

    void PickCountry(std::string_view country) override
    {
        const QString name = QString::fromUtf8(country.data(), static_cast<qsizetype>(country.size()));
        if (const int index = f_.CountryCode->findText(name); index >= 0)
            f_.CountryCode->setCurrentIndex(index);
        else
            f_.CountryCode->setEditText(name);
    }

    void SetCheck(AudioCheck check, bool checked) override
    {
        QCheckBox *box = check == AudioCheck::RememberAudio ? f_.Check1 : f_.Check2;
        if (box->isChecked() != checked)
            box->click();
    }

    [[nodiscard]] Answers Current() const override { return f_.ReadAnswers(); }

private:
    [[nodiscard]] std::pair<QRadioButton *, QRadioButton *> Buttons(Question question) const
    {
        switch (question) {
        case Question::RemoteNbx:
            return {f_.RemoteYes, f_.RemoteNo};
        case Question::Dhcp:
            return {f_.DHCPYes, f_.DHCPNo};
        case Question::SeveralNbx:
            break;
        }
        return {f_.NBXYes, f_.NBXNo};
    }

    [[nodiscard]] std::span<QLineEdit *const> Boxes(AddressRow row) const
    {
        switch (row) {
        case AddressRow::Ip:
            return f_.IP;
        case AddressRow::Subnet:
            return f_.Sub;
        case AddressRow::Gateway:
            return f_.gw;
        case AddressRow::NbxIp:
            return f_.NBXIP;
        case AddressRow::NbxMac:
            break;
        }
        return f_.Mac;
    }

    Form1 &f_;
};

std::vector<std::string> Form1::FillFromProfile(const std::string &path, const std::string &card)
{
    const auto reading = profile::ReadProfileFile(path, card);
    if (!reading.refusals.empty()) {
        std::string text;
        for (const auto &refusal : reading.refusals)
            text += (text.empty() ? "" : "\n") + refusal;
        boxes_.Report(text);
        return {};
    }
    ProfileEntry entry(*this);
    return profile::EnterSettings(reading.settings, entry);
}
