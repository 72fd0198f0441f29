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
    box.setText(QString::fromStdString(text));
    if (!detail.empty())
        box.setInformativeText(QString::fromStdString(detail));
    // File and device names come from the user and the system: never markup,
    // in the text or in the paragraph below it.
    box.setTextFormat(Qt::PlainText);
    for (auto *label : box.findChildren<QLabel *>())
        label->setTextFormat(Qt::PlainText);
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
