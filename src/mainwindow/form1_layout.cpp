// The main window's controls: where each sits, what it is called, and how
// each hands its events to the form model.
#include "form1.h"

#include "graphical_button.h"
#include "widget_factory.h"
#include "window_style.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QRadioButton>

#include <span>
#include <utility>

using widgets::Button;
using widgets::Frame;
using widgets::Label;
using widgets::Make;

namespace {

const QColor kPink(255, 128, 128);
const QColor kPinkBevel(255, 176, 176);

// The "." and ":" between octet boxes. Some share the design's name
// "Label4" and are told apart by an index.
struct Separator {
    const char *name;
    int index; // -1: none
    int left, top;
};

constexpr Separator kIPSettingsDots[] = {
    {"Label4", 0, 1800, 1320}, {"Label7", -1, 2640, 1320},  {"Label6", -1, 3480, 1320},
    {"Label4", 4, 1800, 2040}, {"Label13", -1, 2640, 2040}, {"Label12", -1, 3480, 2040},
    {"Label4", 5, 1800, 2760}, {"Label15", -1, 2640, 2760}, {"Label14", -1, 3480, 2760},
};
constexpr Separator kNBXIPDots[] = {{"Label4", 3, 1560, 600}, {"Label4", 2, 2400, 600}, {"Label4", 1, 3240, 600}};
constexpr Separator kMacColons[] = {{"Label3", -1, 1200, 1440},
                                    {"Label10", -1, 1800, 1440},
                                    {"Label9", -1, 2400, 1440},
                                    {"Label8", -1, 3000, 1440},
                                    {"Label5", -1, 3600, 1440}};

void MakeSeparator(QWidget *container, const Separator &at, const char *text)
{
    auto *label = Label(container, at.name, QString::fromLatin1(text), {at.left, at.top, 135, 255});
    if (at.index >= 0)
        label->setProperty("Index", at.index);
}

} // namespace

void Form1::BuildControls()
{
    auto *about = menuBar()->addMenu(QStringLiteral("About Tovrik"));
    about->setObjectName(QStringLiteral("About"));
    versionAction_ = about->addAction(QStringLiteral("Version"));
    versionAction_->setObjectName(QStringLiteral("Version"));
    connect(versionAction_, &QAction::triggered, this, &Form1::OnVersionTriggered);

    client_ = new QWidget(this);
    client_->setObjectName(QStringLiteral("client"));
    setCentralWidget(client_);
    const qreal dpi = twips::LogicalDpi(this);
    client_->setFixedSize(twips::ToPixels(10995, dpi), twips::ToPixels(7575, dpi));

    BuildProtocolRow();
    BuildIPSettings();
    BuildNBXFrames();
    BuildCountryAudioAndStatus();
    BuildButtons();
    for (const RowShape &shape : kRows) {
        const auto &row = octetBoxes_[static_cast<std::size_t>(shape.row)];
        for (int i = 0; i < shape.boxes; ++i)
            row[static_cast<std::size_t>(i)]->setMaxLength(shape.MaxLength(i));
    }
    NameControls();
    SetFocusOrder();
    WireControls();
}

void Form1::BuildProtocolRow()
{
    QWidget *w = client_;
    (void)Label(w, "Label1", "Select the protocol configured on the chosen NBX", {120, 120, 6375, 255});
    protocolButtons_[0] = Button<QRadioButton>(w, "Option1", "Ethernet", {120, 480, 1335, 255});
    protocolButtons_[1] = Button<QRadioButton>(w, "Option2", "IP On the Fly", {1800, 480, 1335, 255});
    protocolButtons_[2] = Button<QRadioButton>(w, "Option3", "Standard IP", {3600, 480, 1335, 255});
}

void Form1::BuildIPSettings()
{
    QWidget *w = client_;
    // "IP Settings": the DHCP question and the card's own addresses.
    QGroupBox *frame = Frame(w, "DHCP", "IP Settings", {120, 840, 5295, 3495});
    QLabel *question =
        Label(frame, "DHCP1", "Do you have a DHCP server to assign your IP Address for you", {240, 240, 4935, 255});
    dhcpAnswer_.yes = Button<QRadioButton>(frame, "DHCPYes", "Yes", {1440, 480, 975, 255});
    dhcpAnswer_.no = Button<QRadioButton>(frame, "DHCPNo", "No", {2760, 480, 855, 195});
    sections_.dhcpChoice = {frame, question, dhcpAnswer_.yes, dhcpAnswer_.no};
    QLabel *intro = Label(frame, "DHCP2", "Enter the IP configuration for your Brenlock", {240, 720, 3855, 255});
    QLabel *captions[] = {Label(frame, "IPAddress", "IP Address", {1080, 1080, 855, 255}),
                          Label(frame, "Subnet", "Subnet", {1080, 1800, 735, 255}),
                          Label(frame, "Gateway", "Default gateway", {1080, 2400, 1935, 255})};
    const int octetLeft[4] = {1080, 1920, 2760, 3600};
    const char *ipNames[4] = {"IP1", "IP2", "IP3", "IP4"};
    const char *subNames[4] = {"Sub1", "Sub2", "Sub3", "Sub4"};
    const char *gwNames[4] = {"gw1", "gw2", "gw3", "gw4"};
    auto &ip = octetBoxes_[static_cast<std::size_t>(Row::Ip)];
    auto &subnet = octetBoxes_[static_cast<std::size_t>(Row::Subnet)];
    auto &gateway = octetBoxes_[static_cast<std::size_t>(Row::Gateway)];
    for (int i = 0; i < 4; ++i) {
        ip.push_back(Make<QLineEdit>(frame, ipNames[i], {octetLeft[i], 1320, 615, 285}));
        subnet.push_back(Make<QLineEdit>(frame, subNames[i], {octetLeft[i], 2040, 615, 285}));
        gateway.push_back(Make<QLineEdit>(frame, gwNames[i], {octetLeft[i], 2760, 615, 285}));
    }
    for (const auto &dot : kIPSettingsDots)
        MakeSeparator(frame, dot, ".");
    sections_.ipSettings = {intro};
    for (const auto *row : {&ip, &subnet, &gateway})
        sections_.ipSettings.insert(sections_.ipSettings.end(), row->begin(), row->end());
    sections_.ipSettings.insert(sections_.ipSettings.end(), std::begin(captions), std::end(captions));
}

void Form1::BuildNBXFrames()
{
    QWidget *w = client_;
    // "NBX": three frames without captions.
    QGroupBox *nbx = Frame(w, "NBX", "NBX", {5520, 0, 5295, 4335});
    QGroupBox *several = Frame(nbx, "Frame1", "", {240, 240, 4815, 855});
    (void)Label(several, "Label2", "Is there more than 1 NBX broadcasting to this network?", {360, 240, 4215, 255});
    severalNbxAnswer_.yes = Button<QRadioButton>(several, "NBXYes", "Yes", {1560, 480, 855, 255});
    severalNbxAnswer_.no = Button<QRadioButton>(several, "NBXNo", "No", {2640, 480, 1095, 255});
    QGroupBox *remote = Frame(nbx, "RemoteNbx", "", {240, 1200, 4815, 855});
    QLabel *remoteQuestion =
        Label(remote, "NBXRemoteLabel", "Is your NBX located on a remote network?", {840, 240, 3135, 255});
    remoteNbxAnswer_.yes = Button<QRadioButton>(remote, "RemoteYes", "Yes", {1560, 480, 615, 255});
    remoteNbxAnswer_.no = Button<QRadioButton>(remote, "RemoteNo", "No", {2640, 480, 735, 255});
    sections_.remoteChoice = {remoteQuestion, remoteNbxAnswer_.yes, remoteNbxAnswer_.no};
    QGroupBox *addresses = Frame(nbx, "Frame3", "", {240, 2160, 4815, 1935});
    sections_.nbxIp = {Label(addresses, "NBX1", "Enter the IP Address of your NBX", {840, 240, 3135, 255})};
    const int nbxLeft[4] = {840, 1680, 2520, 3360};
    const char *nbxNames[4] = {"NBXIP1", "NBXIP2", "NBXIP3", "NBXIP4"};
    auto &nbxIp = octetBoxes_[static_cast<std::size_t>(Row::NbxIp)];
    for (int i = 0; i < 4; ++i)
        nbxIp.push_back(Make<QLineEdit>(addresses, nbxNames[i], {nbxLeft[i], 600, 615, 285}));
    sections_.nbxIp.insert(sections_.nbxIp.end(), nbxIp.begin(), nbxIp.end());
    for (const auto &dot : kNBXIPDots)
        MakeSeparator(addresses, dot, ".");
    QLabel *macCaption = Label(addresses, "MacAddr", "Enter the MAC Address of your NBX", {720, 1080, 2775, 255});
    const char *macNames[6] = {"Mac1", "Mac2", "Mac3", "Mac4", "Mac5", "Mac6"};
    auto &mac = octetBoxes_[static_cast<std::size_t>(Row::NbxMac)];
    for (int i = 0; i < 6; ++i)
        mac.push_back(Make<QLineEdit>(addresses, macNames[i], {720 + 600 * i, 1440, 375, 285}));
    sections_.nbxMac = {mac.begin(), mac.end()};
    sections_.nbxMac.push_back(macCaption);
    for (const auto &colon : kMacColons)
        MakeSeparator(addresses, colon, ":");
}

void Form1::BuildCountryAudioAndStatus()
{
    QWidget *w = client_;
    QGroupBox *country = Frame(w, "Frame4", "Country Code (Analog only)", {120, 4440, 5295, 855});
    countryBox_ = Make<QComboBox>(country, "CountryCode", {960, 360, 3255, 315});
    countryBox_->setEditable(true);
    countryBox_->setInsertPolicy(QComboBox::NoInsert);
    // What is typed goes out as typed: no completion, no change of case.
    countryBox_->setCompleter(nullptr);
    for (const std::string_view name : gateway::kCountries)
        countryBox_->addItem(QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())), 0);

    QGroupBox *audio = Frame(w, "Frame7", "Audio levels (Norstar only)", {120, 5400, 5295, 855});
    rememberAudioBox_ = Button<QCheckBox>(audio, "Check1", "Handsets remember audio level", {720, 240, 3495, 195});
    boostAudioBox_ = Button<QCheckBox>(audio, "Check2", "Boost base audio level", {720, 600, 3495, 195});

    QGroupBox *status = Frame(w, "Frame2", "Status", {120, 6360, 5295, 975});
    statusLabel_ = Label(status, "Status", "", {480, 360, 4695, 255});
}

void Form1::BuildButtons()
{
    QWidget *w = client_;
    // Frame5 only draws a border: the two buttons lie on the window above it.
    (void)Frame(w, "Frame5", "Configure the Brenlock", {5640, 4440, 5175, 1695});
    configureButton_ = Button<GraphicalButton>(w, "Command1", "Configure &Gateway", {8640, 4800, 1935, 1095});
    configureButton_->setFont(WindowFont(9.75, true));
    configureButton_->SetFaceColour(kPink, kPinkBevel);
    configureButton_->setEnabled(false);
    deleteButton_ = Button<GraphicalButton>(w, "Command3", "Delete Config on Gateway", {5880, 5040, 1935, 735});
    deleteButton_->setFont(WindowFont(8.25, true));
    deleteButton_->SetFaceColour(kPink, kPinkBevel);
    clearButton_ = Button<QPushButton>(w, "Clear", "&Clear this form", {5880, 6480, 2535, 375});
    dialogButton_ = Button<QPushButton>(w, "Advanced", "&Logging and Serial Port Selection", {5880, 6960, 2535, 375});
    exitButton_ = Button<QPushButton>(w, "Command2", "&Exit", {9120, 6480, 1455, 855});
    exitButton_->setFont(WindowFont(8.25, true));
    for (QPushButton *button : std::initializer_list<QPushButton *> {configureButton_, deleteButton_, clearButton_,
                                                                    dialogButton_, exitButton_})
        button->setAutoDefault(false);
}

void Form1::SetFocusOrder()
{
    // Focus order; labels and frames never take the focus.
    std::vector<QWidget *> order(protocolButtons_.begin(), protocolButtons_.end());
    order.insert(order.end(), {dhcpAnswer_.no, dhcpAnswer_.yes});
    for (const Row row : {Row::Ip, Row::Subnet, Row::Gateway}) {
        const auto &boxes = octetBoxes_[static_cast<std::size_t>(row)];
        order.insert(order.end(), boxes.begin(), boxes.end());
    }
    order.insert(order.end(), {severalNbxAnswer_.yes, severalNbxAnswer_.no, remoteNbxAnswer_.yes, remoteNbxAnswer_.no});
    for (const Row row : {Row::NbxIp, Row::NbxMac}) {
        const auto &boxes = octetBoxes_[static_cast<std::size_t>(row)];
        order.insert(order.end(), boxes.begin(), boxes.end());
    }
    order.insert(order.end(), {clearButton_, dialogButton_, configureButton_, exitButton_, countryBox_, deleteButton_,
                               rememberAudioBox_, boostAudioBox_});
    for (std::size_t i = 0; i + 1 < order.size(); ++i)
        setTabOrder(order[i], order[i + 1]);
}

void Form1::NameControls()
{
    // What a screen reader says where a caption does not tell it alone: a
    // "Yes" of which question, a box of which address. Buttons and check
    // boxes keep the toolkit's name from their caption, "&" dropped.
    const std::pair<QWidget *, const char *> names[] = {
        {protocolButtons_[0], "Protocol: Ethernet"},
        {protocolButtons_[1], "Protocol: IP On the Fly"},
        {protocolButtons_[2], "Protocol: Standard IP"},
        {dhcpAnswer_.yes, "DHCP server: Yes"},
        {dhcpAnswer_.no, "DHCP server: No"},
        {severalNbxAnswer_.yes, "More than one NBX: Yes"},
        {severalNbxAnswer_.no, "More than one NBX: No"},
        {remoteNbxAnswer_.yes, "NBX on a remote network: Yes"},
        {remoteNbxAnswer_.no, "NBX on a remote network: No"},
        {countryBox_, "Country Code (Analog only)"},
        {statusLabel_, "Status"},
    };
    for (const auto &[control, name] : names)
        widgets::SetAccessibleName(control, QString::fromLatin1(name));

    for (const RowShape &shape : kRows) {
        const auto &row = octetBoxes_[static_cast<std::size_t>(shape.row)];
        const QString caption = QString::fromLatin1(shape.caption.data(), static_cast<qsizetype>(shape.caption.size()));
        for (std::size_t i = 0; i < row.size(); ++i)
            row[i]->setAccessibleName(QStringLiteral("%1, part %2 of %3").arg(caption).arg(i + 1).arg(row.size()));
    }
}

void Form1::WireControls()
{
    WireOptionButtons();
    WireBoxes();
    // The country and the audio boxes show themselves and change nothing
    // else: not a section, and not the buttons.
    connect(countryBox_, &QComboBox::currentTextChanged, this, [this](const QString &text) {
        if (!rendering_)
            form_.SetCountry(text.toStdString());
    });
    const std::pair<QCheckBox *, AudioCheck> checks[] = {{rememberAudioBox_, AudioCheck::RememberAudio},
                                                         {boostAudioBox_, AudioCheck::BoostAudio}};
    for (const auto &[box, check] : checks)
        connect(box, &QCheckBox::toggled, this, [this, check](bool on) {
            if (!rendering_)
                form_.SetCheck(check, on);
        });
    connect(configureButton_, &QPushButton::clicked, this, &Form1::OnConfigureClicked);
    connect(deleteButton_, &QPushButton::clicked, this, &Form1::OnDeleteClicked);
    connect(exitButton_, &QPushButton::clicked, this, &Form1::OnExitClicked);
    connect(clearButton_, &QPushButton::clicked, this, &Form1::OnClearClicked);
    connect(dialogButton_, &QPushButton::clicked, this, &Form1::OnDialogClicked);
}

void Form1::WireOptionButtons()
{
    // One exclusive group per container. (Qt's automatic exclusivity would
    // also reach into the frames nested below the same parent.)
    for (const auto &group :
         {std::vector<QRadioButton *>(protocolButtons_.begin(), protocolButtons_.end()),
          std::vector<QRadioButton *> {dhcpAnswer_.yes, dhcpAnswer_.no},
          std::vector<QRadioButton *> {severalNbxAnswer_.yes, severalNbxAnswer_.no},
          std::vector<QRadioButton *> {remoteNbxAnswer_.yes, remoteNbxAnswer_.no}}) {
        auto *buttons = new QButtonGroup(this);
        for (auto *button : group)
            buttons->addButton(button);
    }

    // An option button counts once it becomes selected: by a click, by the
    // keyboard, or by code.
    const auto onSelect = [this](QRadioButton *button, auto event) {
        connect(button, &QRadioButton::toggled, this, [this, event](bool on) {
            if (on)
                Handle([&] { event(form_); });
        });
    };
    const Protocol protocols[] = {Protocol::Ethernet, Protocol::IPOnTheFly, Protocol::StandardIP};
    for (std::size_t i = 0; i < protocolButtons_.size(); ++i)
        onSelect(protocolButtons_[i], [p = protocols[i]](ConfigurationForm &f) { f.ChooseProtocol(p); });
    const std::pair<const YesNo *, Question> questions[] = {
        {&dhcpAnswer_, Question::Dhcp}, {&severalNbxAnswer_, Question::SeveralNbx}, {&remoteNbxAnswer_, Question::RemoteNbx}};
    for (const auto &[answer, q] : questions) {
        onSelect(answer->yes, [q](ConfigurationForm &f) { f.Answer(q, true); });
        onSelect(answer->no, [q](ConfigurationForm &f) { f.Answer(q, false); });
    }
}

void Form1::WireBoxes()
{
    for (const RowShape &shape : kRows) {
        for (int i = 0; i < shape.boxes; ++i) {
            const BoxId box {shape.row, i};
            // IP1_Change … Mac6_Change: one handler, parameterised per box.
            connect(BoxWidget(box), &QLineEdit::textChanged, this, [this, box](const QString &text) {
                if (rendering_)
                    return;
                const bool movedOn = form_.Edit(box, text.toStdString());
                Render();
                QLineEdit *edit = BoxWidget(box);
                edit->setCursorPosition(static_cast<int>(edit->text().size()));
                if (movedOn)
                    ShowFocus();
            });
        }
    }
    // The model knows which box typing goes to, however the focus got there.
    focusWatch_ = connect(qApp, &QApplication::focusChanged, this, [this](QWidget *, QWidget *now) {
        std::optional<BoxId> focused;
        for (const RowShape &shape : kRows)
            for (int i = 0; i < shape.boxes; ++i)
                if (BoxWidget({shape.row, i}) == now)
                    focused = BoxId {shape.row, i};
        form_.FocusOn(focused);
    });
}

QLineEdit *Form1::BoxWidget(BoxId box) const
{
    return octetBoxes_[static_cast<std::size_t>(box.row)][static_cast<std::size_t>(box.index)];
}
