// The main window: it shows the form model and hands it every click and key;
// the Configure, Delete, Clear, dialog and Exit buttons.
#pragma once

#include "card_watch.h"
#include "configuration_form.h"
#include "form2.h"
#include "main_window_access.h"
#include "send_run.h"

#include <QMainWindow>
#include <QPointer>

#include <array>
#include <string>
#include <utility>
#include <vector>

class BoardLink;
class GraphicalButton;
class GatewayCommands;
class MessageBoxes;
class Ticker;
class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

class Form1 final : public QMainWindow, public MainWindowAccess {
    Q_OBJECT
public:
    // Loads before returning; the caller shows the window. `sendTimer`
    // follows a send's bytes out; `lineWatch` ticks about once a second: it
    // notices a card that went away and opens its port again when it is back.
    Form1(BoardLink &link, GatewayCommands &commands, MessageBoxes &boxes, Ticker &sendTimer, Ticker &lineWatch,
          QWidget *parent = nullptr);
    ~Form1() override;

    void CheckIfButtonEnabled() override;
    void SetStatusCaption(const QString &caption) override;
    void SetExpectedLog(const QString &fileName) override;

    // The form as the window shows it.
    [[nodiscard]] const ConfigurationForm &Model() const { return form_; }
    [[nodiscard]] int ProgressTicks() const { return progressTicks_; }
    [[nodiscard]] Form2 *Dialog() const { return dialog_; }

    // The handlers, public so that tests and the toolkit's signals reach them.
    void OnConfigureClicked();
    void OnSendTimerTick();
    void WatchForCard();
    void OnDeleteClicked();
    void OnExitClicked();
    void OnClearClicked();
    void OnDialogClicked();
    void OnVersionTriggered();

    // Fills the form from the site profile at `path`, its [card NAME] laid
    // over [defaults] (`card` empty: [defaults] alone), as a technician's
    // clicks and typing would, and shows it; sends nothing. A refused
    // profile is reported in one box, a refusal a line, and leaves the
    // window as it was. Filled, the status line names the file and the card,
    // and the values that met a closed row or question come in one box from
    // the event loop, once no other box is open. Returns those notes, "not
    // used: subnet (Ethernet)" each.
    std::vector<std::string> FillFromProfile(const std::string &path, const std::string &card);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    // The controls that one yes/no question shows.
    struct YesNo {
        QRadioButton *yes = nullptr, *no = nullptr;
    };
    // The controls that each section opens and closes, in the order the
    // section procedures switch them.
    struct SectionControls {
        std::vector<QWidget *> dhcpChoice, ipSettings, nbxIp, nbxMac, remoteChoice;
    };

    void BuildControls();
    void BuildProtocolRow();
    void BuildIPSettings();
    void BuildNBXFrames();
    void BuildCountryAudioAndStatus();
    void BuildButtons();
    // Labels and frames never take the focus.
    void SetFocusOrder();
    void NameControls();
    // One exclusive group per question, and every control's event handed to the model.
    void WireControls();
    void WireOptionButtons();
    void WireBoxes();

    // Shows the model: selections, texts, country, ticks, the sections, the
    // focus where typing moved it, and the buttons' readiness.
    void Render();
    void RenderTexts();
    void RenderSections();
    // Hands the model what a control did, then shows it.
    template <typename Event>
    void Handle(Event &&event)
    {
        if (rendering_)
            return;
        event();
        Render();
    }
    // Moves the focus to the model's box when typing moved it there.
    void ShowFocus();
    [[nodiscard]] QLineEdit *BoxWidget(BoxId box) const;

    void Load();
    void Unload();
    void CloseDialog();
    void DeleteGatewayConfig();
    void EnableSendButtons(bool enabled);
    // Says on the status line when logging has stopped by itself.
    void ShowIfLoggingStopped();
    // "Filled in from site.ini, card store" (`card` empty: no card), unless
    // the status line already warns of something.
    void ShowFilledIn(const QString &file, const QString &card);
    // The box of a profile's notes, when they are held and the window may
    // show it; true when it was shown.
    bool ShowHeldNotes();

    BoardLink &link_;
    GatewayCommands &commands_;
    MessageBoxes &boxes_;
    Ticker &sendTimer_;
    Ticker &lineWatch_;
    SendRun run_;
    CardWatch watch_;
    ConfigurationForm form_;
    QMetaObject::Connection focusWatch_; // which box has the focus, for the model
    bool rendering_ = false; // the controls' own signals during Render are not the technician's
    int progressTicks_ = 0;
    bool unloaded_ = false;
    QString expectedLog_; // the log the library should be writing; empty when switched off
    std::pair<std::string, std::string> heldNotes_; // a profile's notes not shown yet: the box's text and detail
    QPointer<Form2> dialog_;

    QWidget *client_ = nullptr;
    std::array<QRadioButton *, 3> protocolButtons_ {}; // Ethernet, IP On the Fly, Standard IP
    YesNo dhcpAnswer_, severalNbxAnswer_, remoteNbxAnswer_;
    std::array<std::vector<QLineEdit *>, kRows.size()> octetBoxes_ {}; // by Row
    SectionControls sections_;
    QComboBox *countryBox_ = nullptr;
    QCheckBox *rememberAudioBox_ = nullptr, *boostAudioBox_ = nullptr;
    QLabel *statusLabel_ = nullptr;
    GraphicalButton *configureButton_ = nullptr, *deleteButton_ = nullptr;
    QPushButton *clearButton_ = nullptr, *dialogButton_ = nullptr, *exitButton_ = nullptr;
    QAction *versionAction_ = nullptr;
};
