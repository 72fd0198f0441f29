#include "form1.h"

#include "board_link.h"
#include "form2.h"
#include "address_check.h"
#include "configuration.h"
#include "gateway_commands.h"
#include "message_boxes.h"
#include "readiness.h"
#include "serial_library.h"
#include "ticker.h"
#include "twips.h"
#include "window_style.h"

#include "tovrik.xpm"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleOptionButton>
#include <QStylePainter>

namespace {

constexpr const char *kLogFileName = "TovrikLog.txt";
constexpr const char *kAwaitingCard = "Card disconnected, waiting for it on Com%1";
constexpr const char *kCardBack = "Card connected again on Com%1";

// A push button in the "graphical" style: its own background colour, and a
// caption that wraps onto several lines instead of being cut off.
class GraphicalButton final : public QPushButton {
public:
    using QPushButton::QPushButton;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QStylePainter painter(this);
        QStyleOptionButton option;
        initStyleOption(&option);
        const QString caption = option.text;
        option.text.clear();
        painter.drawControl(QStyle::CE_PushButton, option);
        const QRect textRect = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
        painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
        painter.drawText(textRect, Qt::AlignCenter | Qt::TextWordWrap | Qt::TextShowMnemonic, caption);
    }
};

template <typename W>
W *Make(QWidget *container, const char *name, int left, int top, int width, int height)
{
    auto *w = new W(container);
    w->setObjectName(QString::fromLatin1(name));
    twips::Place(w, left, top, width, height);
    return w;
}

QLabel *MakeLabel(QWidget *container, const char *name, const char *caption, int left, int top, int width,
                  int height)
{
    auto *label = Make<QLabel>(container, name, left, top, width, height);
    label->setText(QString::fromLatin1(caption));
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

QGroupBox *MakeFrame(QWidget *container, const char *name, const char *caption, int left, int top, int width,
                     int height)
{
    auto *frame = Make<CaptionedFrame>(container, name, left, top, width, height);
    frame->setTitle(QString::fromLatin1(caption));
    return frame;
}

template <typename B>
B *MakeButton(QWidget *container, const char *name, const char *caption, int left, int top, int width,
              int height)
{
    auto *button = Make<B>(container, name, left, top, width, height);
    button->setText(QString::fromLatin1(caption));
    return button;
}

// The "." and ":" between octet boxes.
void MakeSeparator(QWidget *container, const char *name, int index, const char *text, int left, int top)
{
    auto *label = MakeLabel(container, name, text, left, top, 135, 255);
    if (index >= 0)
        label->setProperty("Index", index);
}

} // namespace

// Connects one QLineEdit to the shared change handler.
struct Form1::OctetBinding final : OctetBox {
    Form1 *form;
    QLineEdit *edit;
    QLineEdit *next;
    OctetBoxKind kind;

    OctetBinding(Form1 *f, QLineEdit *e, QLineEdit *n, OctetBoxKind s) : form(f), edit(e), next(n), kind(s) {}

    std::string Text() const override { return edit->text().toStdString(); }
    void SetText(const std::string &text) override { edit->setText(QString::fromStdString(text)); }
    void SetSelStart(int position) override { edit->setCursorPosition(position); }
    void SetFocusNext() override
    {
        // A box that cannot take the focus is skipped without a word.
        if (next && next->isEnabled() && next->isVisible())
            next->setFocus(Qt::OtherFocusReason);
    }
    void CheckIfButtonEnabled() override { form->CheckIfButtonEnabled(); }
};

Form1::Form1(BoardLink &link, GatewayCommands &commands, MessageBoxes &boxes, Ticker &timer, Ticker &lineWatch,
             QWidget *parent)
    : QMainWindow(parent), link_(link), commands_(commands), boxes_(boxes), Timer1(timer), LineWatch(lineWatch)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Brenlock Configuration"));
    setWindowIcon(QIcon(QPixmap(tovrik_xpm)));
    setFont(WindowFont(8.25));

    BuildControls();
    Timer1.onTick = [this] { Timer1_Timer(); };
    LineWatch.onTick = [this] { LineWatch_Timer(); };

    Form_Load();

    // A fresh window starts on "Ethernet", as if the first focus had chosen
    // it, so the readiness check has run and the buttons follow the port.
    Option1->setChecked(true);
}

Form1::~Form1()
{
    Timer1.SetEnabled(false);
    Timer1.onTick = nullptr;
    LineWatch.SetEnabled(false);
    LineWatch.onTick = nullptr;
    CloseDialog();
}

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

    QWidget *w = client_;
    Label1 = MakeLabel(w, "Label1", "Select the protocol configured on the chosen NBX", 120, 120, 6375, 255);
    Option1 = MakeButton<QRadioButton>(w, "Option1", "Ethernet", 120, 480, 1335, 255);
    Option2 = MakeButton<QRadioButton>(w, "Option2", "IP On the Fly", 1800, 480, 1335, 255);
    Option3 = MakeButton<QRadioButton>(w, "Option3", "Standard IP", 3600, 480, 1335, 255);

    // "IP Settings": the DHCP question and the card's own addresses.
    DHCP = MakeFrame(w, "DHCP", "IP Settings", 120, 840, 5295, 3495);
    DHCP1 = MakeLabel(DHCP, "DHCP1", "Do you have a DHCP server to assign your IP Address for you", 240, 240, 4935,
                      255);
    DHCPYes = MakeButton<QRadioButton>(DHCP, "DHCPYes", "Yes", 1440, 480, 975, 255);
    DHCPNo = MakeButton<QRadioButton>(DHCP, "DHCPNo", "No", 2760, 480, 855, 195);
    DHCP2 = MakeLabel(DHCP, "DHCP2", "Enter the IP configuration for your Brenlock", 240, 720, 3855, 255);
    IPAddress = MakeLabel(DHCP, "IPAddress", "IP Address", 1080, 1080, 855, 255);
    Subnet = MakeLabel(DHCP, "Subnet", "Subnet", 1080, 1800, 735, 255);
    Gateway = MakeLabel(DHCP, "Gateway", "Default gateway", 1080, 2400, 1935, 255);
    const int octetLeft[4] = {1080, 1920, 2760, 3600};
    const char *ipNames[4] = {"IP1", "IP2", "IP3", "IP4"};
    const char *subNames[4] = {"Sub1", "Sub2", "Sub3", "Sub4"};
    const char *gwNames[4] = {"gw1", "gw2", "gw3", "gw4"};
    for (int i = 0; i < 4; ++i) {
        IP[i] = Make<QLineEdit>(DHCP, ipNames[i], octetLeft[i], 1320, 615, 285);
        Sub[i] = Make<QLineEdit>(DHCP, subNames[i], octetLeft[i], 2040, 615, 285);
        gw[i] = Make<QLineEdit>(DHCP, gwNames[i], octetLeft[i], 2760, 615, 285);
    }
    MakeSeparator(DHCP, "Label4", 0, ".", 1800, 1320);
    MakeSeparator(DHCP, "Label7", -1, ".", 2640, 1320);
    MakeSeparator(DHCP, "Label6", -1, ".", 3480, 1320);
    MakeSeparator(DHCP, "Label4", 4, ".", 1800, 2040);
    MakeSeparator(DHCP, "Label13", -1, ".", 2640, 2040);
    MakeSeparator(DHCP, "Label12", -1, ".", 3480, 2040);
    MakeSeparator(DHCP, "Label4", 5, ".", 1800, 2760);
    MakeSeparator(DHCP, "Label15", -1, ".", 2640, 2760);
    MakeSeparator(DHCP, "Label14", -1, ".", 3480, 2760);

    // "NBX": three frames without captions.
    NBX = MakeFrame(w, "NBX", "NBX", 5520, 0, 5295, 4335);
    Frame1 = MakeFrame(NBX, "Frame1", "", 240, 240, 4815, 855);
    Label2 = MakeLabel(Frame1, "Label2", "Is there more than 1 NBX broadcasting to this network?", 360, 240, 4215,
                       255);
    NBXYes = MakeButton<QRadioButton>(Frame1, "NBXYes", "Yes", 1560, 480, 855, 255);
    NBXNo = MakeButton<QRadioButton>(Frame1, "NBXNo", "No", 2640, 480, 1095, 255);
    RemoteNbx = MakeFrame(NBX, "RemoteNbx", "", 240, 1200, 4815, 855);
    NBXRemoteLabel = MakeLabel(RemoteNbx, "NBXRemoteLabel", "Is your NBX located on a remote network?", 840, 240,
                               3135, 255);
    RemoteYes = MakeButton<QRadioButton>(RemoteNbx, "RemoteYes", "Yes", 1560, 480, 615, 255);
    RemoteNo = MakeButton<QRadioButton>(RemoteNbx, "RemoteNo", "No", 2640, 480, 735, 255);
    Frame3 = MakeFrame(NBX, "Frame3", "", 240, 2160, 4815, 1935);
    NBX1 = MakeLabel(Frame3, "NBX1", "Enter the IP Address of your NBX", 840, 240, 3135, 255);
    const int nbxLeft[4] = {840, 1680, 2520, 3360};
    const char *nbxNames[4] = {"NBXIP1", "NBXIP2", "NBXIP3", "NBXIP4"};
    for (int i = 0; i < 4; ++i)
        NBXIP[i] = Make<QLineEdit>(Frame3, nbxNames[i], nbxLeft[i], 600, 615, 285);
    MakeSeparator(Frame3, "Label4", 3, ".", 1560, 600);
    MakeSeparator(Frame3, "Label4", 2, ".", 2400, 600);
    MakeSeparator(Frame3, "Label4", 1, ".", 3240, 600);
    MacAddr = MakeLabel(Frame3, "MacAddr", "Enter the MAC Address of your NBX", 720, 1080, 2775, 255);
    const char *macNames[6] = {"Mac1", "Mac2", "Mac3", "Mac4", "Mac5", "Mac6"};
    for (int i = 0; i < 6; ++i)
        Mac[i] = Make<QLineEdit>(Frame3, macNames[i], 720 + 600 * i, 1440, 375, 285);
    const char *colonNames[5] = {"Label3", "Label10", "Label9", "Label8", "Label5"};
    for (int i = 0; i < 5; ++i)
        MakeSeparator(Frame3, colonNames[i], -1, ":", 1200 + 600 * i, 1440);

    Frame4 = MakeFrame(w, "Frame4", "Country Code (Analog only)", 120, 4440, 5295, 855);
    CountryCode = Make<QComboBox>(Frame4, "CountryCode", 960, 360, 3255, 315);
    CountryCode->setEditable(true);
    CountryCode->setInsertPolicy(QComboBox::NoInsert);
    // What is typed goes out as typed: no completion, no change of case.
    CountryCode->setCompleter(nullptr);
    CountryCode->addItem(QStringLiteral("United States"), 0);
    CountryCode->addItem(QStringLiteral("United Kingdom"), 0);
    CountryCode->setCurrentIndex(-1);
    CountryCode->setEditText(QString::fromLatin1(kNoCountry));

    Frame7 = MakeFrame(w, "Frame7", "Audio levels (Norstar only)", 120, 5400, 5295, 855);
    Check1 = MakeButton<QCheckBox>(Frame7, "Check1", "Handsets remember audio level", 720, 240, 3495, 195);
    Check1->setChecked(true);
    Check2 = MakeButton<QCheckBox>(Frame7, "Check2", "Boost base audio level", 720, 600, 3495, 195);

    Frame2 = MakeFrame(w, "Frame2", "Status", 120, 6360, 5295, 975);
    Status = MakeLabel(Frame2, "Status", "", 480, 360, 4695, 255);
    Status->setTextFormat(Qt::PlainText); // it shows file names as typed

    // Frame5 only draws a border: the two buttons lie on the window above it.
    Frame5 = MakeFrame(w, "Frame5", "Configure the Brenlock", 5640, 4440, 5175, 1695);
    // With a border of its own the style sheet draws the whole button, so
    // the face keeps its exact colour under every style.
    const QString pink = QStringLiteral(
        "QPushButton { background-color: rgb(255, 128, 128); border: 2px outset rgb(255, 176, 176);"
        " border-radius: 2px; }"
        "QPushButton:pressed { border-style: inset; }"
        "QPushButton:focus { outline: 1px dotted black; }");
    Command1 = MakeButton<GraphicalButton>(w, "Command1", "Configure &Gateway", 8640, 4800, 1935, 1095);
    Command1->setFont(WindowFont(9.75, true));
    Command1->setStyleSheet(pink);
    Command1->setEnabled(false);
    Command3 = MakeButton<GraphicalButton>(w, "Command3", "Delete Config on Gateway", 5880, 5040, 1935, 735);
    Command3->setFont(WindowFont(8.25, true));
    Command3->setStyleSheet(pink);
    Clear = MakeButton<QPushButton>(w, "Clear", "&Clear this form", 5880, 6480, 2535, 375);
    Advanced = MakeButton<QPushButton>(w, "Advanced", "&Logging and Serial Port Selection", 5880, 6960, 2535, 375);
    Command2 = MakeButton<QPushButton>(w, "Command2", "&Exit", 9120, 6480, 1455, 855);
    Command2->setFont(WindowFont(8.25, true));
    for (auto *button : {Command1, Command3, Clear, Advanced, Command2})
        button->setAutoDefault(false);

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

    BuildOctetRows();

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

    // An option button's handler runs whenever it becomes selected: by a
    // click, by the keyboard, or by code.
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

    connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
    connect(Command3, &QPushButton::clicked, this, &Form1::Command3_Click);
    connect(Command2, &QPushButton::clicked, this, &Form1::Command2_Click);
    connect(Clear, &QPushButton::clicked, this, &Form1::Clear_Click);
    connect(Advanced, &QPushButton::clicked, this, &Form1::Advanced_Click);
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
            auto binding = std::make_unique<OctetBinding>(this, row[i], next, OctetBoxKind {position, hex, maxLength});
            OctetBinding *b = binding.get();
            // IP1_Change … Mac6_Change: one handler, parameterised per box.
            connect(row[i], &QLineEdit::textChanged, this, [b] { OctetChange(*b, b->kind); });
            octets_.push_back(std::move(binding));
        }
    };
    bindRow(IP, false, 3, 3);
    bindRow(Sub, false, 3, 3);
    bindRow(gw, false, 3, 3);
    bindRow(NBXIP, false, 4, 3); // the NBX row takes a fourth digit but advances at three
    bindRow(Mac, true, 2, 2);
}

void Form1::Form_Load()
{
    link_.library().Run();
    link_.SelectComPort(1);
    EnableRemoteChoice(false);
    link_.library().StartLogging(kLogFileName);
    if (link_.library().IsLogging() != 0)
        expectedLog_ = QString::fromLatin1(kLogFileName);
    else
        Status->setText(QStringLiteral("Not logging: %1 could not be opened").arg(QLatin1String(kLogFileName)));
    LineWatch.SetEnabled(true);
}

void Form1::Form_Unload()
{
    if (unloaded_)
        return;
    unloaded_ = true;
    Timer1.SetEnabled(false);
    LineWatch.SetEnabled(false);
    CloseDialog();
    link_.ClosePort();
}

void Form1::closeEvent(QCloseEvent *event)
{
    Form_Unload();
    event->accept();
}

void Form1::CloseDialog()
{
    // The dialog never outlives the window it acts on, and applies nothing.
    // Closed, not deleted: one of its handlers may be running below us, in
    // a message box's event loop; it deletes itself once that has returned.
    if (dialog_)
        dialog_->close();
}

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
        switch (box->checkState()) {
        case Qt::Checked: return CheckState::Checked;
        case Qt::PartiallyChecked: return CheckState::Greyed;
        default: return CheckState::Unchecked;
        }
    };
    a.rememberAudio = state(Check1);
    a.boostAudio = state(Check2);
    return a;
}

void Form1::CheckIfButtonEnabled()
{
    const bool entriesFilled = RequiredEntriesFilled(ReadAnswers());
    Command1->setEnabled(link_.IsPortOpen() && entriesFilled);
    Command3->setEnabled(link_.IsPortOpen());
}

void Form1::SetStatusCaption(const QString &caption) { Status->setText(caption); }

void Form1::SetExpectedLog(const QString &fileName) { expectedLog_ = fileName; }

void Form1::ShowIfLoggingStopped()
{
    // The library stops by itself when the file cannot be written (a full
    // disk, the file made read-only).
    if (!expectedLog_.isEmpty() && link_.library().IsLogging() == 0)
        Status->setText(QStringLiteral("Logging stopped: %1 could not be written").arg(expectedLog_));
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

void Form1::Command1_Click()
{
    ProgressTicks_ = 0;
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    // No tick may run inside this handler, not even one of an earlier send
    // that is still going out while the question below waits.
    const bool timerWasRunning = Timer1.Enabled();
    Timer1.SetEnabled(false);
    const auto giveUp = [&] {
        Timer1.SetEnabled(timerWasRunning);
        QGuiApplication::restoreOverrideCursor();
    };
    const Answers answers = ReadAnswers();

    // A malformed address would reach the card as it stands; say which one.
    if (const auto problem = MalformedAddressMessage(answers)) {
        boxes_.Report(*problem);
        giveUp();
        return;
    }
    if (!boxes_.Ask("Do you want to send your IP configuration data to the gateway card and restart it?")) {
        giveUp();
        return;
    }
    // The question ran an event loop of its own: the window may have closed meanwhile.
    if (unloaded_) {
        QGuiApplication::restoreOverrideCursor();
        return;
    }
    if (!link_.IsPortOpen()) {
        Status->setText(QStringLiteral("Sending failed"));
        giveUp();
        return;
    }

    // Nothing of an earlier send may stand beside this one's error box.
    Status->clear();
    sendFailed_ = !commands_.SendLines(ConfigurationLines(answers));
    // Started only now, so that no tick runs inside this handler (an error
    // box above runs an event loop of its own).
    Timer1.SetEnabled(true);
    QGuiApplication::restoreOverrideCursor();
}

void Form1::Timer1_Timer()
{
    if (link_.library().IsSendingData()) {
        Command1->setEnabled(false);
        Command2->setEnabled(false);
        Advanced->setEnabled(false);
        Clear->setEnabled(false);
        Status->setText(QString::fromStdString(NextProgressCaption(ProgressTicks_)));
        return;
    }
    // This tick runs inside a box's event loop: the end of the send and its
    // question wait for the first tick after the box has closed.
    if (boxes_.IsShowing())
        return;

    Command1->setEnabled(true);
    Command2->setEnabled(true);
    Advanced->setEnabled(true);
    Clear->setEnabled(true);
    // Boxes may have been emptied during the send.
    CheckIfButtonEnabled();
    // Stopped before asking, so the question comes once per send.
    Timer1.SetEnabled(false);

    if (sendFailed_) {
        Status->setText(QStringLiteral("Sending failed"));
        return;
    }
    // Gone from the queue is not gone out: a line that failed dropped them.
    if (link_.library().HasLostData()) {
        Status->setText(QStringLiteral("Sending failed"));
        boxes_.Report("The line to the card was lost during the send.");
        return;
    }
    Status->setText(QStringLiteral("Data Sent"));
    ShowIfLoggingStopped();
    if (boxes_.Ask("All configuration data has been sent to the gateway card. Do you now want to exit ?")) {
        CloseDialog();
        close();
    }
}

void Form1::Command3_Click()
{
    if (!link_.IsPortOpen())
        return;
    if (!boxes_.Ask("Delete the config on the gateway and restart the board now?"))
        return;
    // The question ran an event loop of its own: the window may have closed,
    // or the line gone, meanwhile.
    if (unloaded_ || !link_.IsPortOpen())
        return;
    DeleteGatewayConfig();
}

void Form1::DeleteGatewayConfig()
{
    // After "Error writing to Gateway" the card will not restart; do not say it will.
    if (commands_.SendLines({gateway::ClearConfigLine()}))
        boxes_.Report("Board should now be restarting");
}

void Form1::Command2_Click()
{
    if (!boxes_.Ask("Are you sure that you want to exit?"))
        return;
    CloseDialog();
    close();
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

void Form1::LineWatch_Timer()
{
    // No port changes under a handler that waits in a box.
    if (unloaded_ || boxes_.IsShowing())
        return;
    const auto caption = [](const char *text, int port) { return QString::fromLatin1(text).arg(port); };
    if (awaitedPort_ == 0) {
        if (link_.IsPortOpen() || !link_.IsAwaitingCard())
            return;
        // A send in progress ends with the line; it is never resumed by itself.
        awaitedPort_ = link_.GetComPort();
        Status->setText(caption(kAwaitingCard, awaitedPort_));
        CheckIfButtonEnabled();
        return;
    }
    if (link_.IsAwaitingCard() && !link_.TryReopen())
        return;
    // Back, or the technician chose a port in the dialog meanwhile.
    if (Status->text() == caption(kAwaitingCard, awaitedPort_)) {
        const bool back = link_.GetComPort() == awaitedPort_ && link_.IsPortOpen();
        Status->setText(back ? caption(kCardBack, awaitedPort_) : QString());
    }
    awaitedPort_ = 0;
    CheckIfButtonEnabled();
}

void Form1::Advanced_Click()
{
    ShowIfLoggingStopped();
    // A dialog that was closed is only waiting to be deleted.
    if (!dialog_ || dialog_->isHidden())
        dialog_ = new Form2(link_, commands_, boxes_, *this, this);
    dialog_->show();
    dialog_->raise();
    dialog_->activateWindow();
}

void Form1::Version_Click()
{
    boxes_.Report("Tovrik, the Brenlock card configuration tool of the Tovrik project. Version 1.2.0.0");
}
