// The main window's controls: where each sits, what it is called, and how
// the octet boxes are wired to their shared handler.
#include "form1.h"

#include "graphical_button.h"
#include "octet_binding.h"
#include "widget_factory.h"
#include "window_style.h"

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
    Version = about->addAction(QStringLiteral("Version"));
    Version->setObjectName(QStringLiteral("Version"));
    connect(Version, &QAction::triggered, this, &Form1::Version_Click);

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
    SetCreatedStates();
    BuildOctetRows();
    NameControls();
    SetFocusOrder();
    WireOptionButtons();
    connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
    connect(Command3, &QPushButton::clicked, this, &Form1::Command3_Click);
    connect(Command2, &QPushButton::clicked, this, &Form1::Command2_Click);
    connect(Clear, &QPushButton::clicked, this, &Form1::Clear_Click);
    connect(Advanced, &QPushButton::clicked, this, &Form1::Advanced_Click);
}

void Form1::BuildProtocolRow()
{
    QWidget *w = client_;
    (void)Label(w, "Label1", "Select the protocol configured on the chosen NBX", {120, 120, 6375, 255});
    Option1 = Button<QRadioButton>(w, "Option1", "Ethernet", {120, 480, 1335, 255});
    Option2 = Button<QRadioButton>(w, "Option2", "IP On the Fly", {1800, 480, 1335, 255});
    Option3 = Button<QRadioButton>(w, "Option3", "Standard IP", {3600, 480, 1335, 255});
}

void Form1::BuildIPSettings()
{
    QWidget *w = client_;
    // "IP Settings": the DHCP question and the card's own addresses.
    DHCP = Frame(w, "DHCP", "IP Settings", {120, 840, 5295, 3495});
    DHCP1 = Label(DHCP, "DHCP1", "Do you have a DHCP server to assign your IP Address for you", {240, 240, 4935, 255});
    DHCPYes = Button<QRadioButton>(DHCP, "DHCPYes", "Yes", {1440, 480, 975, 255});
    DHCPNo = Button<QRadioButton>(DHCP, "DHCPNo", "No", {2760, 480, 855, 195});
    DHCP2 = Label(DHCP, "DHCP2", "Enter the IP configuration for your Brenlock", {240, 720, 3855, 255});
    IPAddress = Label(DHCP, "IPAddress", "IP Address", {1080, 1080, 855, 255});
    Subnet = Label(DHCP, "Subnet", "Subnet", {1080, 1800, 735, 255});
    Gateway = Label(DHCP, "Gateway", "Default gateway", {1080, 2400, 1935, 255});
    const int octetLeft[4] = {1080, 1920, 2760, 3600};
    const char *ipNames[4] = {"IP1", "IP2", "IP3", "IP4"};
    const char *subNames[4] = {"Sub1", "Sub2", "Sub3", "Sub4"};
    const char *gwNames[4] = {"gw1", "gw2", "gw3", "gw4"};
    for (int i = 0; i < 4; ++i) {
        IP[i] = Make<QLineEdit>(DHCP, ipNames[i], {octetLeft[i], 1320, 615, 285});
        Sub[i] = Make<QLineEdit>(DHCP, subNames[i], {octetLeft[i], 2040, 615, 285});
        gw[i] = Make<QLineEdit>(DHCP, gwNames[i], {octetLeft[i], 2760, 615, 285});
    }
    for (const auto &dot : kIPSettingsDots)
        MakeSeparator(DHCP, dot, ".");
}

void Form1::BuildNBXFrames()
{
    QWidget *w = client_;
    // "NBX": three frames without captions.
    NBX = Frame(w, "NBX", "NBX", {5520, 0, 5295, 4335});
    Frame1 = Frame(NBX, "Frame1", "", {240, 240, 4815, 855});
    (void)Label(Frame1, "Label2", "Is there more than 1 NBX broadcasting to this network?", {360, 240, 4215, 255});
    NBXYes = Button<QRadioButton>(Frame1, "NBXYes", "Yes", {1560, 480, 855, 255});
    NBXNo = Button<QRadioButton>(Frame1, "NBXNo", "No", {2640, 480, 1095, 255});
    RemoteNbx = Frame(NBX, "RemoteNbx", "", {240, 1200, 4815, 855});
    NBXRemoteLabel = Label(RemoteNbx, "NBXRemoteLabel", "Is your NBX located on a remote network?",
                           {840, 240, 3135, 255});
    RemoteYes = Button<QRadioButton>(RemoteNbx, "RemoteYes", "Yes", {1560, 480, 615, 255});
    RemoteNo = Button<QRadioButton>(RemoteNbx, "RemoteNo", "No", {2640, 480, 735, 255});
    Frame3 = Frame(NBX, "Frame3", "", {240, 2160, 4815, 1935});
    NBX1 = Label(Frame3, "NBX1", "Enter the IP Address of your NBX", {840, 240, 3135, 255});
    const int nbxLeft[4] = {840, 1680, 2520, 3360};
    const char *nbxNames[4] = {"NBXIP1", "NBXIP2", "NBXIP3", "NBXIP4"};
    for (int i = 0; i < 4; ++i)
        NBXIP[i] = Make<QLineEdit>(Frame3, nbxNames[i], {nbxLeft[i], 600, 615, 285});
    for (const auto &dot : kNBXIPDots)
        MakeSeparator(Frame3, dot, ".");
    MacAddr = Label(Frame3, "MacAddr", "Enter the MAC Address of your NBX", {720, 1080, 2775, 255});
    const char *macNames[6] = {"Mac1", "Mac2", "Mac3", "Mac4", "Mac5", "Mac6"};
    for (int i = 0; i < 6; ++i)
        Mac[i] = Make<QLineEdit>(Frame3, macNames[i], {720 + 600 * i, 1440, 375, 285});
    for (const auto &colon : kMacColons)
        MakeSeparator(Frame3, colon, ":");
}

void Form1::BuildCountryAudioAndStatus()
{
    QWidget *w = client_;
    Frame4 = Frame(w, "Frame4", "Country Code (Analog only)", {120, 4440, 5295, 855});
    CountryCode = Make<QComboBox>(Frame4, "CountryCode", {960, 360, 3255, 315});
    CountryCode->setEditable(true);
    CountryCode->setInsertPolicy(QComboBox::NoInsert);
    // What is typed goes out as typed: no completion, no change of case.
    CountryCode->setCompleter(nullptr);
    CountryCode->addItem(QStringLiteral("United States"), 0);
    CountryCode->addItem(QStringLiteral("United Kingdom"), 0);
    CountryCode->setCurrentIndex(-1);
    CountryCode->setEditText(QString::fromLatin1(kNoCountry));

    Frame7 = Frame(w, "Frame7", "Audio levels (Norstar only)", {120, 5400, 5295, 855});
    Check1 = Button<QCheckBox>(Frame7, "Check1", "Handsets remember audio level", {720, 240, 3495, 195});
    Check1->setChecked(true);
    Check2 = Button<QCheckBox>(Frame7, "Check2", "Boost base audio level", {720, 600, 3495, 195});

    Frame2 = Frame(w, "Frame2", "Status", {120, 6360, 5295, 975});
    Status = Label(Frame2, "Status", "", {480, 360, 4695, 255});
}

void Form1::BuildButtons()
{
    QWidget *w = client_;
    // Frame5 only draws a border: the two buttons lie on the window above it.
    Frame5 = Frame(w, "Frame5", "Configure the Brenlock", {5640, 4440, 5175, 1695});
    Command1 = Button<GraphicalButton>(w, "Command1", "Configure &Gateway", {8640, 4800, 1935, 1095});
    Command1->setFont(WindowFont(9.75, true));
    Command1->SetFaceColour(kPink, kPinkBevel);
    Command1->setEnabled(false);
    Command3 = Button<GraphicalButton>(w, "Command3", "Delete Config on Gateway", {5880, 5040, 1935, 735});
    Command3->setFont(WindowFont(8.25, true));
    Command3->SetFaceColour(kPink, kPinkBevel);
    Clear = Button<QPushButton>(w, "Clear", "&Clear this form", {5880, 6480, 2535, 375});
    Advanced = Button<QPushButton>(w, "Advanced", "&Logging and Serial Port Selection", {5880, 6960, 2535, 375});
    Command2 = Button<QPushButton>(w, "Command2", "&Exit", {9120, 6480, 1455, 855});
    Command2->setFont(WindowFont(8.25, true));
    for (QPushButton *button : std::initializer_list<QPushButton *> {Command1, Command3, Clear, Advanced, Command2})
        button->setAutoDefault(false);
}

void Form1::SetCreatedStates()
{
    // The labels and the DHCP question as created.
    DHCP->setEnabled(false);
    DHCP1->setEnabled(false);
    DHCPYes->setEnabled(false);
    DHCPNo->setEnabled(false);
    DHCPNo->setChecked(true);
    DHCP2->setEnabled(false);
    for (auto *box : IP)
        box->setEnabled(false);
    for (auto *box : Sub)
        box->setEnabled(false);
    for (auto *box : gw)
        box->setEnabled(false);
    NBXNo->setChecked(true);
    RemoteNo->setChecked(true);
    NBX1->setEnabled(false);
    for (auto *box : NBXIP)
        box->setEnabled(false);
    MacAddr->setEnabled(false);
    for (auto *box : Mac)
        box->setEnabled(false);
}

void Form1::SetFocusOrder()
{
    // Focus order; labels and frames never take the focus.
    std::vector<QWidget *> order {Option1, Option2, Option3, DHCPNo, DHCPYes};
    for (auto *row : {&IP, &Sub, &gw})
        order.insert(order.end(), row->begin(), row->end());
    order.insert(order.end(), {NBXYes, NBXNo, RemoteYes, RemoteNo});
    order.insert(order.end(), NBXIP.begin(), NBXIP.end());
    order.insert(order.end(), Mac.begin(), Mac.end());
    order.insert(order.end(), {Clear, Advanced, Command1, Command2, CountryCode, Command3, Check1, Check2});
    for (std::size_t i = 0; i + 1 < order.size(); ++i)
        setTabOrder(order[i], order[i + 1]);
}

void Form1::WireOptionButtons()
{
    // One exclusive group per container. (Qt's automatic exclusivity would
    // also reach into the frames nested below the same parent.)
    for (const auto &group : {std::vector<QRadioButton *> {Option1, Option2, Option3},
                              std::vector<QRadioButton *> {DHCPYes, DHCPNo},
                              std::vector<QRadioButton *> {NBXYes, NBXNo},
                              std::vector<QRadioButton *> {RemoteYes, RemoteNo}}) {
        auto *buttons = new QButtonGroup(this);
        for (auto *button : group)
            buttons->addButton(button);
    }

    // An option button's rule runs whenever the button becomes selected: by
    // a click, by the keyboard, or by code.
    const auto onSelect = [this](QRadioButton *button, void (*rule)(const Answers &, WindowSections &)) {
        connect(button, &QRadioButton::toggled, this, [this, rule](bool on) {
            if (on)
                rule(ReadAnswers(), *this);
        });
    };
    for (auto *option : {Option1, Option2, Option3})
        onSelect(option, section_rules::ProtocolChosen);
    for (auto *answer : {DHCPYes, DHCPNo})
        onSelect(answer, section_rules::DHCPServerAnswered);
    for (auto *answer : {NBXYes, NBXNo})
        onSelect(answer, section_rules::MoreThanOneNBXAnswered);
    for (auto *answer : {RemoteYes, RemoteNo})
        onSelect(answer, section_rules::RemoteNBXAnswered);
}

void Form1::NameControls()
{
    // What a screen reader says where a caption does not tell it alone: a
    // "Yes" of which question, a box of which address. Buttons and check
    // boxes keep the toolkit's name from their caption, "&" dropped.
    const std::pair<QWidget *, const char *> names[] = {
        {Option1, "Protocol: Ethernet"},
        {Option2, "Protocol: IP On the Fly"},
        {Option3, "Protocol: Standard IP"},
        {DHCPYes, "DHCP server: Yes"},
        {DHCPNo, "DHCP server: No"},
        {NBXYes, "More than one NBX: Yes"},
        {NBXNo, "More than one NBX: No"},
        {RemoteYes, "NBX on a remote network: Yes"},
        {RemoteNo, "NBX on a remote network: No"},
        {CountryCode, "Country Code (Analog only)"},
        {Status, "Status"},
    };
    for (const auto &[control, name] : names)
        widgets::SetAccessibleName(control, QString::fromLatin1(name));

    const std::pair<std::span<QLineEdit *const>, const char *> rows[] = {
        {IP, "IP Address"},        {Sub, "Subnet"},           {gw, "Default gateway"},
        {NBXIP, "NBX IP Address"}, {Mac, "NBX MAC Address"},
    };
    for (const auto &[row, caption] : rows)
        for (std::size_t i = 0; i < row.size(); ++i)
            row[i]->setAccessibleName(
                QStringLiteral("%1, part %2 of %3").arg(QLatin1String(caption)).arg(i + 1).arg(row.size()));
}

void Form1::BuildOctetRows()
{
    const auto bindRow = [this](auto &row, bool hex, int firstMaxLength, int lastMaxLength) {
        const int n = static_cast<int>(row.size());
        for (int i = 0; i < n; ++i) {
            const RowPosition position = i == 0 ? RowPosition::First
                : i == n - 1                    ? RowPosition::Last
                                                : RowPosition::Middle;
            const int maxLength = i == n - 1 ? lastMaxLength : firstMaxLength;
            row[i]->setMaxLength(maxLength);
            QLineEdit *next = i + 1 < n ? row[i + 1] : nullptr;
            auto binding = std::make_unique<OctetBinding>(*this, row[i], next, OctetBoxKind {position, hex, maxLength});
            OctetBinding *b = binding.get();
            // IP1_Change … Mac6_Change: one handler, parameterised per box.
            connect(row[i], &QLineEdit::textChanged, this, [b] { OctetChange(*b, b->Kind()); });
            octets_.push_back(std::move(binding));
        }
    };
    bindRow(IP, false, 3, 3);
    bindRow(Sub, false, 3, 3);
    bindRow(gw, false, 3, 3);
    bindRow(NBXIP, false, 4, 3); // the NBX row takes a fourth digit but advances at three
    bindRow(Mac, true, 2, 2);
}
