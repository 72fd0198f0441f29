#include "qt_message_boxes.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>

namespace {

QMessageBox::StandardButton Show(const std::string &text, const std::string &detail,
                                 QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton)
{
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("tovrik"), QString(), buttons,
                    QApplication::activeWindow());
    // File and device names come from the user and the system: never markup.
    box.setTextFormat(Qt::PlainText);
    box.setText(QString::fromStdString(text));
    if (!detail.empty()) {
        box.setInformativeText(QString::fromStdString(detail));
        if (auto *label = box.findChild<QLabel *>(QStringLiteral("qt_msgbox_informativelabel")))
            label->setTextFormat(Qt::PlainText);
    }
    box.setDefaultButton(defaultButton);
    box.setWindowModality(Qt::ApplicationModal);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

} // namespace

void QtMessageBoxes::ShowReport(const std::string &text, const std::string &detail)
{
    Show(text, detail, QMessageBox::Ok, QMessageBox::Ok);
}

bool QtMessageBoxes::ShowQuestion(const std::string &text)
{
    return Show(text, {}, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes) == QMessageBox::Yes;
}
