// The real message boxes: title, icon, buttons and the default answer.
#include "qt_message_boxes.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>

class TestMessageBoxes : public QObject {
    Q_OBJECT
private slots:
    void questionDefaultsToYes();
    void escapeOrNoIsNotConsent();
    void reportHasOkAlone();
    void textsAreShownAsPlainText();

private:
    // Runs `inspect` on the box once it is up, from inside its event loop.
    static void WhenShown(const std::function<void(QMessageBox *)> &inspect)
    {
        QTimer::singleShot(0, [inspect] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            QVERIFY(box);
            inspect(box);
        });
    }
};

void TestMessageBoxes::questionDefaultsToYes()
{
    QtMessageBoxes boxes;
    WhenShown([](QMessageBox *box) {
        QCOMPARE(box->windowTitle(), QString("tovrik"));
        QCOMPARE(box->icon(), QMessageBox::NoIcon);
        QCOMPARE(box->text(), QString("Are you sure that you want to exit?"));
        QCOMPARE(box->standardButtons(), QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(box->defaultButton(), box->button(QMessageBox::Yes));
        QTest::keyClick(box, Qt::Key_Return);
    });
    QVERIFY(boxes.Ask("Are you sure that you want to exit?"));
}

void TestMessageBoxes::escapeOrNoIsNotConsent()
{
    QtMessageBoxes boxes;
    WhenShown([](QMessageBox *box) { QTest::keyClick(box, Qt::Key_Escape); });
    QVERIFY(!boxes.Ask("Delete the config on the gateway and restart the board now?"));
    WhenShown([](QMessageBox *box) { box->button(QMessageBox::No)->click(); });
    QVERIFY(!boxes.Ask("Delete the config on the gateway and restart the board now?"));
}

void TestMessageBoxes::reportHasOkAlone()
{
    QtMessageBoxes boxes;
    bool seen = false;
    WhenShown([&](QMessageBox *box) {
        QCOMPARE(box->windowTitle(), QString("tovrik"));
        QCOMPARE(box->icon(), QMessageBox::NoIcon);
        QCOMPARE(box->standardButtons(), QMessageBox::Ok);
        seen = true;
        QTest::keyClick(box, Qt::Key_Return);
    });
    boxes.Report("Failed to Open Com1");
    QVERIFY(seen);
}

// A log name or a device path with markup in it is shown as it is, and the
// library's reason for a failure follows as the second paragraph.
void TestMessageBoxes::textsAreShownAsPlainText()
{
    QtMessageBoxes boxes;
    const QString text = "Failed to open log file <h1>BIG</h1>";
    const QString detail = "cannot open COM3 (/dev/<b>x</b>): no such device";
    bool seen = false;
    WhenShown([&](QMessageBox *box) {
        QCOMPARE(box->text(), text);
        QCOMPARE(box->informativeText(), detail);
        QStringList shown;
        for (auto *label : box->findChildren<QLabel *>()) {
            if (label->text() == text || label->text() == detail) {
                QCOMPARE(label->textFormat(), Qt::PlainText);
                shown << label->text();
            }
        }
        QCOMPARE(shown.size(), 2);
        seen = true;
        QTest::keyClick(box, Qt::Key_Return);
    });
    boxes.Report(text.toStdString(), detail.toStdString());
    QVERIFY(seen);
}

QTEST_MAIN(TestMessageBoxes)
#include "message_boxes_test.moc"
