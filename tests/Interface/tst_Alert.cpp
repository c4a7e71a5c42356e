#include "Interface/AlertRecorder.h"
#include "Interface/ConfirmAlert.h"
#include "Interface/ErrorAlert.h"
#include "Interface/NotifyAlert.h"

#include <QMessageBox>
#include <QPushButton>
#include <QtTest>

#include <functional>

using namespace vantorix;

class tst_Alert : public QObject {
    Q_OBJECT

private slots:
    void recordsEachKind();
    void responders();
    void realBoxes_data();
    void realBoxes();

private:
    // Runs handle on the message box as soon as it is shown.
    void whenBoxShows(std::function<void(QMessageBox*)> handle);
};

void tst_Alert::recordsEachKind()
{
    QWidget window;
    AlertRecorder recorder;
    NotifyAlert(String("Vantorix Installer"), &window).show(String("Report Id: 42 <br>Please save this ID"));
    ErrorAlert(String("Vantorix Installer")).show(String("Failed"));
    const bool confirmed = ConfirmAlert(String("Vantorix Installer"))
                               .isConfirmed(String("Reset?"), String("Do you want to reset the installation settings ?"),
                                            String("Reset"), String("Cancel"));
    QVERIFY(!confirmed);

    const auto& boxes = recorder.boxes();
    QCOMPARE(int(boxes.size()), 3);
    QCOMPARE(boxes[0].kind, Alert::notify);
    QCOMPARE(boxes[0].text.qString(), QStringLiteral("Report Id: 42 <br>Please save this ID"));
    QCOMPARE(boxes[0].buttons, QStringList{"OK"});
    QCOMPARE(boxes[0].parent, &window);
    QCOMPARE(boxes[1].kind, Alert::error);
    QCOMPARE(boxes[2].kind, Alert::confirm);
    QCOMPARE(boxes[2].informativeText.qString(), QStringLiteral("Do you want to reset the installation settings ?"));
    QCOMPARE(boxes[2].buttons, (QStringList{"Reset", "Cancel"}));
}

// Queued answers come first, then the recorder's default; a scoped responder
// hands back to the one before it.
void tst_Alert::responders()
{
    {
        AlertRecorder recorder(true);
        recorder.queue(false);
        ConfirmAlert alert(String("T"));
        QVERIFY(!alert.isConfirmed(String("a"), String(), String("Yes"), String("No")));
        QVERIFY(alert.isConfirmed(String("b"), String(), String("Yes"), String("No")));
    }
    AlertRecorder outer;
    {
        int calls = 0;
        Alert::ScopedResponder inner([&calls](const Alert::Request&) {
            ++calls;
            return true;
        });
        QVERIFY(ConfirmAlert(String("T")).isConfirmed(String("q"), String(), String("Y"), String("N")));
        QCOMPARE(calls, 1);
    }
    ErrorAlert(String("T")).show(String("after"));
    QCOMPARE(int(outer.boxes().size()), 1);
    QCOMPARE(outer.boxes()[0].text.qString(), QStringLiteral("after"));
}

void tst_Alert::whenBoxShows(std::function<void(QMessageBox*)> handle)
{
    auto* timer = new QTimer(this);
    timer->setInterval(10);
    connect(timer, &QTimer::timeout, this, [timer, handle]() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        timer->stop();
        timer->deleteLater();
        handle(box);
    });
    timer->start();
}

void tst_Alert::realBoxes_data()
{
    QTest::addColumn<bool>("clickAccept");
    QTest::newRow("accept") << true;
    QTest::newRow("reject") << false;
}

// Without a responder the real QMessageBox runs: check what it shows and that
// only the accept button confirms.
void tst_Alert::realBoxes()
{
    QFETCH(bool, clickAccept);
    QString seen;
    whenBoxShows([&seen, clickAccept](QMessageBox* box) {
        seen = box->windowTitle() + '|' + box->text() + '|' + box->informativeText() + '|'
            + QString::number(box->icon());
        const auto buttons = box->buttons();
        for (QAbstractButton* button : buttons) {
            seen += '|' + button->text() + ':' + QString::number(box->buttonRole(button));
            if (button == box->defaultButton())
                seen += QStringLiteral("(default)");
        }
        for (QAbstractButton* button : buttons)
            if ((box->buttonRole(button) == QMessageBox::YesRole) == clickAccept)
                button->click();
    });
    const bool confirmed = ConfirmAlert(String("Title")).isConfirmed(String("Text"), String("More"), String("Update"),
                                                                     String("  Quit  "));
    QCOMPARE(confirmed, clickAccept);
    QCOMPARE(seen, QStringLiteral("Title|Text|More|4|Update:5(default)|  Quit  :6"));

    seen.clear();
    whenBoxShows([&seen](QMessageBox* box) {
        seen = box->text() + '|' + QString::number(box->icon()) + '|' + QString::number(box->buttons().size());
        box->button(QMessageBox::Ok)->click();
    });
    ErrorAlert(String("Title")).show(String("Broken"));
    QCOMPARE(seen, QStringLiteral("Broken|3|1"));
}

QTEST_MAIN(tst_Alert)
#include "tst_Alert.moc"
