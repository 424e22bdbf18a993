#include "core/common/Environment.h"
#include "support/RecordingMessageSink.h"
#include "ui/lobby/TForm8.h"

#include <QClipboard>
#include <QFontInfo>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

using namespace vantrell;

class TestManualJoin : public QObject
{
    Q_OBJECT

private slots:
    void initialState()
    {
        ui::TForm8 form(m_env, m_messages, nullptr);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QCOMPARE(form.windowTitle(), QStringLiteral("Join a Room manually"));
        QCOMPARE(form.findChild<QLineEdit*>("Edit1")->text(), QStringLiteral("127.0.0.1"));
        QCOMPARE(form.findChild<QLineEdit*>("Edit2")->text(), QStringLiteral("8501"));
        QVERIFY(!form.findChild<QPushButton*>("Button1")->isEnabled());
        QVERIFY(!form.isModal());
        const auto* note = form.findChild<QPlainTextEdit*>("Memo1");
        QVERIFY(note->isReadOnly());
        QVERIFY(QFontInfo(note->font()).fixedPitch());
        QCOMPARE(note->toPlainText().split('\n'),
                 QStringList({"Manual join is not implemented properly and will ",
                              "possibly give you errors on launching the game or ",
                              "may not work a tall."}));
        QCOMPARE(form.minimumSize(), form.maximumSize());
    }

    void portTakesDigitsOnly_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("pasted");
        QTest::addColumn<QString>("expected");
        QTest::newRow("letters typed") << "9a0b1" << QString() << "901";
        QTest::newRow("signs typed") << "-2 7.5" << QString() << "275";
        QTest::newRow("digits pasted") << "1"
                                       << "23"
                                       << "123";
        QTest::newRow("mixed paste refused") << "1"
                                             << "2x3"
                                             << "1";
    }

    void portTakesDigitsOnly()
    {
        QFETCH(QString, typed);
        QFETCH(QString, pasted);
        QFETCH(QString, expected);

        ui::TForm8 form(m_env, m_messages, nullptr);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        auto* port = form.findChild<QLineEdit*>("Edit2");
        port->selectAll();
        port->del();
        QTest::keyClicks(port, typed);
        if (!pasted.isEmpty()) {
            QGuiApplication::clipboard()->setText(pasted);
            port->paste();
        }
        QCOMPARE(port->text(), expected);
    }

    void keepsValuesBetweenShowings()
    {
        ui::TForm8 form(m_env, m_messages, nullptr);
        form.show();
        auto* address = form.findChild<QLineEdit*>("Edit1");
        address->setText(QStringLiteral("10.1.2.3"));
        form.close();
        form.show();
        QCOMPARE(address->text(), QStringLiteral("10.1.2.3"));
        QCOMPARE(form.findChild<QLineEdit*>("Edit2")->text(), QStringLiteral("8501"));
    }

    // Shown beside the main window, centred on it, wherever that window is.
    void opensCentredOnMainWindow()
    {
        QWidget main;
        main.resize(771, 516);
        main.move(40, 30);
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        ui::TForm8 form(m_env, m_messages, &main);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        const QPoint offset = form.frameGeometry().center() - main.frameGeometry().center();
        QVERIFY2(offset.manhattanLength() <= 2,
                 qPrintable(QStringLiteral("%1,%2").arg(offset.x()).arg(offset.y())));
        QVERIFY(main.isVisible());
    }

private:
    core::Environment m_env;
    ui::RecordingMessageSink m_messages;
};

QTEST_MAIN(TestManualJoin)
#include "tst_manualjoin.moc"
