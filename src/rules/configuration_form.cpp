#include "configuration_form.h"

#include "configuration.h"
#include "octet_field.h"
#include "readiness.h"

ConfigurationForm::ConfigurationForm() { ChooseProtocol(Protocol::Ethernet); }

bool ConfigurationForm::IsOpen(Question question) const
{
    switch (question) {
    case Question::Dhcp:
        return open_.dhcpChoice;
    case Question::RemoteNbx:
        return open_.remoteChoice;
    case Question::SeveralNbx:
        break;
    }
    return true; // nothing closes the NBX-count question
}

bool ConfigurationForm::IsOpen(Row row) const
{
    switch (row) {
    case Row::NbxIp:
        return open_.nbxIp;
    case Row::NbxMac:
        return open_.nbxMac;
    case Row::Ip:
    case Row::Subnet:
    case Row::Gateway:
        break;
    }
    // The card's rows lie in the DHCP question's frame, which closes them too.
    return open_.ipSettings && open_.dhcpChoice;
}

const std::string &ConfigurationForm::Text(BoxId box) const
{
    return TextsOf(answers_, box.row)[static_cast<std::size_t>(box.index)];
}

void ConfigurationForm::ChooseProtocol(Protocol protocol)
{
    if (protocol == answers_.protocol)
        return;
    answers_.protocol = protocol;
    section_rules::ProtocolChosen(answers_, open_);
    answers_.nbxIpOpen = open_.nbxIp;
}

void ConfigurationForm::Changed(bool Answers::*answer, bool value, void (*rule)(const Answers &, Sections &))
{
    if (answers_.*answer == value)
        return;
    answers_.*answer = value;
    rule(answers_, open_);
    answers_.nbxIpOpen = open_.nbxIp;
}

void ConfigurationForm::Answer(Question question, bool yes)
{
    switch (question) {
    case Question::Dhcp:
        Changed(&Answers::dhcpServer, yes, section_rules::DHCPServerAnswered);
        return;
    case Question::SeveralNbx:
        Changed(&Answers::moreThanOneNbx, yes, section_rules::MoreThanOneNBXAnswered);
        return;
    case Question::RemoteNbx:
        Changed(&Answers::remoteNbx, yes, section_rules::RemoteNBXAnswered);
        return;
    }
}

bool ConfigurationForm::Edit(BoxId box, std::string text)
{
    const RowShape &shape = ShapeOf(box.row);
    const OctetBoxKind kind {box.index == 0               ? RowPosition::First
                             : box.index == shape.boxes - 1 ? RowPosition::Last
                                                            : RowPosition::Middle,
                             shape.hex, shape.MaxLength(box.index)};
    OctetEdit edit = ApplyOctetRule(std::move(text), kind);
    TextsOf(answers_, box.row)[static_cast<std::size_t>(box.index)] = std::move(edit.text);
    // A box that cannot take the focus is skipped without a word.
    if (!edit.movesOn || box.index + 1 >= shape.boxes || !IsOpen(box.row))
        return false;
    focus_ = BoxId {box.row, box.index + 1};
    return true;
}

void ConfigurationForm::Type(std::string_view keys)
{
    for (const char key : keys) {
        if (!focus_)
            return;
        const BoxId box = *focus_;
        const std::string &text = Text(box);
        if (static_cast<int>(text.size()) < ShapeOf(box.row).MaxLength(box.index))
            Edit(box, text + key);
    }
}

void ConfigurationForm::SetCheck(AudioCheck check, bool checked)
{
    (check == AudioCheck::RememberAudio ? answers_.rememberAudio : answers_.boostAudio) =
        checked ? CheckState::Checked : CheckState::Unchecked;
}

void ConfigurationForm::Clear()
{
    // In the window's order: each answer set back runs its rule, then the
    // sections are closed over whatever the rules opened.
    ChooseProtocol(Protocol::Ethernet);
    Answer(Question::Dhcp, false);
    Answer(Question::SeveralNbx, false);
    for (const RowShape &shape : kRows)
        for (std::string &text : TextsOf(answers_, shape.row))
            text.clear();
    answers_.country = kNoCountry;
    open_.nbxIp = open_.nbxMac = false;
    open_.dhcpChoice = false;
    open_.ipSettings = false;
    answers_.nbxIpOpen = false;
    answers_.rememberAudio = CheckState::Checked;
    answers_.boostAudio = CheckState::Unchecked;
}

bool ConfigurationForm::Ready() const { return RequiredEntriesFilled(answers_); }

std::vector<std::string> ConfigurationForm::Lines() const { return ConfigurationLines(answers_); }

std::optional<std::string> ConfigurationForm::MalformedAddress() const { return MalformedAddressMessage(answers_); }
