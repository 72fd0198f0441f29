// The modeless "Logging & Serial Port Selection" dialog: chooses the COM
// port, switches the library's log of the card's output on or off, and asks
// the card to print its running configuration into that log.
#pragma once

#include <QDialog>

class BoardLink;
class DropDownCombo;
class GatewayCommands;
class MainWindowAccess;
class MessageBoxes;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

class Form2 : public QDialog {
    Q_OBJECT
public:
    // Reads the board link's port and the library's logging state at once;
    // the dialog deletes itself when closed, so each opening starts afresh.
    Form2(BoardLink &link, GatewayCommands &commands, MessageBoxes &boxes,
          MainWindowAccess &mainWindow, QWidget *parent = nullptr);

    // Esc: pressed as the Cancel button.
    void reject() override;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void CreateControls();
    void Load();
    void OnLoggingToggled();
    void OnLogConfigClicked();
    void OnOkClicked();
    void OnCancelClicked();

    BoardLink &link_;
    GatewayCommands &commands_;
    MessageBoxes &boxes_;
    MainWindowAccess &mainWindow_;

    QGroupBox *portFrame_ = nullptr;
    DropDownCombo *portCombo_ = nullptr;
    QGroupBox *logFrame_ = nullptr;
    QCheckBox *logCheckBox_ = nullptr;
    QLabel *fileNameLabel_ = nullptr;
    QLineEdit *fileNameEdit_ = nullptr;
    QPushButton *logConfigButton_ = nullptr;
    QPushButton *okButton_ = nullptr;
    QPushButton *cancelButton_ = nullptr;
};
