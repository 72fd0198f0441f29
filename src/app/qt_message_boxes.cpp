#include "qt_message_boxes.h"

#include <QApplication>
#include <QMessageBox>

namespace {

QMessageBox::StandardButton Show(const std::string &text, QMessageBox::StandardButtons buttons,
                                 QMessageBox::StandardButton defaultButton)
{
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("tovrik"), QString::fromStdString(text), buttons,
                    QApplication::activeWindow());
    box.setDefaultButton(defaultButton);
    box.setWindowModality(Qt::ApplicationModal);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

} // namespace

void QtMessageBoxes::Report(const std::string &text)
{
    Show(text, QMessageBox::Ok, QMessageBox::Ok);
}

bool QtMessageBoxes::Ask(const std::string &text)
{
    return Show(text, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes) == QMessageBox::Yes;
}
