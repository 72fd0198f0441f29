// The main window's answers as its controls hold them, the section
// procedures that open and close rows, and Clear.
#include "form1.h"


#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

// The one place where the window's controls become the answers.
Answers Form1::ReadAnswers() const
{
    Answers a;
    a.protocol = Option1->isChecked() ? Protocol::Ethernet
        : Option2->isChecked()        ? Protocol::IPOnTheFly
        : Option3->isChecked()        ? Protocol::StandardIP
                                      : Protocol::None;
    a.dhcpServer = DHCPYes->isChecked();
    a.moreThanOneNbx = NBXYes->isChecked();
    a.remoteNbx = RemoteYes->isChecked();
    const auto texts = [](const auto &row, auto &out) {
        for (std::size_t i = 0; i < row.size(); ++i)
            out[i] = row[i]->text().toStdString();
    };
    texts(IP, a.ip);
    texts(Sub, a.subnet);
    texts(gw, a.gateway);
    texts(NBXIP, a.nbxIp);
    a.nbxIpOpen = NBXIP[0]->isEnabled();
    texts(Mac, a.mac);
    a.country = CountryCode->currentText().toStdString();
    const auto state = [](const QCheckBox *box) {
        return box->isChecked() ? CheckState::Checked : CheckState::Unchecked;
    };
    a.rememberAudio = state(Check1);
    a.boostAudio = state(Check2);
    return a;
}

void Form1::EnableIPSettings(bool enabled)
{
    DHCP2->setEnabled(enabled);
    for (auto *row : {&IP, &Sub, &gw})
        for (auto *box : *row)
            box->setEnabled(enabled);
    IPAddress->setEnabled(enabled);
    Subnet->setEnabled(enabled);
    Gateway->setEnabled(enabled);
}

void Form1::EnableDHCPChoice(bool enabled)
{
    DHCP->setEnabled(enabled);
    DHCP1->setEnabled(enabled);
    DHCPYes->setEnabled(enabled);
    DHCPNo->setEnabled(enabled);
}

void Form1::EnableNBXIPAddress(bool enabled)
{
    NBX1->setEnabled(enabled);
    for (auto *box : NBXIP)
        box->setEnabled(enabled);
}

void Form1::EnableNBXMacAddress(bool enabled)
{
    for (auto *box : Mac)
        box->setEnabled(enabled);
    MacAddr->setEnabled(enabled);
}

void Form1::EnableRemoteChoice(bool enabled)
{
    NBXRemoteLabel->setEnabled(enabled);
    RemoteYes->setEnabled(enabled);
    RemoteNo->setEnabled(enabled);
}

void Form1::Clear_Click()
{
    Option1->setChecked(true);
    Option2->setChecked(false);
    Option3->setChecked(false);
    DHCPYes->setChecked(false);
    DHCPNo->setChecked(true);
    NBXYes->setChecked(false);
    NBXNo->setChecked(true);
    for (auto *row : {&IP, &Sub, &gw, &NBXIP})
        for (auto *box : *row)
            box->setText(QString());
    for (auto *box : Mac)
        box->setText(QString());
    CountryCode->setCurrentIndex(-1);
    CountryCode->setEditText(QString::fromLatin1(kNoCountry));
    EnableNBXAddress(false);
    EnableDHCPChoice(false);
    EnableIPSettings(false);
    Check1->setChecked(true);
    Check2->setChecked(false);
    CheckIfButtonEnabled();
}
