// The main window as a view of its form model: one step shows all of it,
// and Clear, the one button that changes the form.
#include "form1.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>

void Form1::Render()
{
    rendering_ = true;
    const Answers &a = form_.Current();
    if (a.protocol != Protocol::None)
        protocolButtons_[static_cast<std::size_t>(a.protocol) - 1]->setChecked(true);
    const std::pair<const YesNo *, bool> answers[] = {
        {&dhcpAnswer_, a.dhcpServer}, {&severalNbxAnswer_, a.moreThanOneNbx}, {&remoteNbxAnswer_, a.remoteNbx}};
    for (const auto &[answer, yes] : answers)
        (yes ? answer->yes : answer->no)->setChecked(true);
    RenderTexts();
    rememberAudioBox_->setChecked(a.rememberAudio == CheckState::Checked);
    boostAudioBox_->setChecked(a.boostAudio == CheckState::Checked);
    RenderSections();
    rendering_ = false;
    CheckIfButtonEnabled();
}

void Form1::RenderTexts()
{
    const Answers &a = form_.Current();
    for (const RowShape &shape : kRows) {
        const auto texts = TextsOf(a, shape.row);
        for (std::size_t i = 0; i < texts.size(); ++i) {
            QLineEdit *edit = octetBoxes_[static_cast<std::size_t>(shape.row)][i];
            if (const QString text = QString::fromStdString(texts[i]); edit->text() != text)
                edit->setText(text);
        }
    }
    if (const QString country = QString::fromStdString(a.country); countryBox_->currentText() != country) {
        if (const int index = countryBox_->findText(country); index >= 0) {
            countryBox_->setCurrentIndex(index);
        } else {
            countryBox_->setCurrentIndex(-1);
            countryBox_->setEditText(country);
        }
    }
}

void Form1::RenderSections()
{
    // The DHCP frame first: closing it takes the focus from a box inside
    // rather than passing it along the closing rows.
    const Sections &open = form_.Open();
    const std::pair<const std::vector<QWidget *> *, bool> sections[] = {
        {&sections_.dhcpChoice, open.dhcpChoice}, {&sections_.ipSettings, open.ipSettings},
        {&sections_.nbxMac, open.nbxMac},         {&sections_.nbxIp, open.nbxIp},
        {&sections_.remoteChoice, open.remoteChoice}};
    for (const auto &[controls, enabled] : sections)
        for (QWidget *control : *controls)
            control->setEnabled(enabled);
}

void Form1::ShowFocus()
{
    const auto box = form_.Focus();
    if (!box)
        return;
    // A box that cannot take the focus is skipped without a word.
    QLineEdit *edit = BoxWidget(*box);
    if (edit != focusWidget() && edit->isEnabled() && edit->isVisible())
        edit->setFocus(Qt::OtherFocusReason);
}

void Form1::OnClearClicked()
{
    Handle([this] { form_.Clear(); });
}
