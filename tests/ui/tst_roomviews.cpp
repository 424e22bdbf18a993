#include "ui/common/MemberListView.h"
#include "ui/common/ReadyPictures.h"
#include "ui/common/RoomPanel.h"
#include "ui/common/SettingsListView.h"

#include <QHeaderView>
#include <QImage>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using namespace vantrell;

namespace {
bool isGreen(QRgb c)
{
    return qAlpha(c) > 200 && qGreen(c) > 120 && qRed(c) < 100 && qBlue(c) < 100;
}
bool isRed(QRgb c)
{
    return qAlpha(c) > 200 && qRed(c) > 150 && qGreen(c) < 80 && qBlue(c) < 80;
}
bool isWhite(QRgb c)
{
    return qAlpha(c) > 200 && qRed(c) > 200 && qGreen(c) > 200 && qBlue(c) > 200;
}

roomhost::MemberRow member(std::string ready, std::string nick, std::string port)
{
    roomhost::MemberRow m;
    m.readyCode = std::move(ready);
    m.nickname = std::move(nick);
    m.os = "Linux 64 bit ";
    m.remoteAddress = "127.0.0.1";
    m.localAddress = "10.0.0.2";
    m.remotePort = std::move(port);
    m.udpPort = "23513";
    return m;
}
} // namespace

class TestRoomViews : public QObject
{
    Q_OBJECT

private slots:
    void picturesAreDrawnAsDescribed()
    {
        const QImage ready = ui::ReadyPictures::ready().toImage();
        const QImage notReady = ui::ReadyPictures::notReady().toImage();
        for (const QImage& image : {ready, notReady}) {
            QCOMPARE(image.size(), QSize(16, 16));
            QVERIFY(image.hasAlphaChannel());
            // Corners lie outside both the disc and the octagon.
            for (QPoint corner : {QPoint(0, 0), QPoint(15, 0), QPoint(0, 15), QPoint(15, 15)})
                QCOMPARE(qAlpha(image.pixel(corner)), 0);
        }
        // The disc: green away from the tick, the tick white where its strokes meet.
        QVERIFY(isGreen(ready.pixel(8, 3)));
        QVERIFY(isGreen(ready.pixel(3, 12)));
        QVERIFY(isWhite(ready.pixel(7, 10)));
        // The octagon: red at its edge midpoints, white cross in the middle.
        QVERIFY(isRed(notReady.pixel(8, 2)));
        QVERIFY(isRed(notReady.pixel(2, 8)));
        QVERIFY(isWhite(notReady.pixel(8, 8)));
        // An octagon cuts its corners less than a disc: a point near the corner differs.
        QVERIFY(isRed(notReady.pixel(3, 3)));
        QVERIFY(ui::ReadyPictures::forCode("2").isNull());
    }

    void memberRowsShowTheirPictures()
    {
        ui::MemberListView view;
        std::vector<roomhost::MemberRow> rows = {
            member("0", "Host", ""), member("1", "Ann", "50001"), member("0", "Bob", "50002")};
        rows[1].team = " ";
        rows[2].ping = "37 ms";
        view.setMembers(rows);
        QCOMPARE(view.topLevelItemCount(), 3);
        const QImage readyPic = ui::ReadyPictures::ready().toImage();
        const QImage notReadyPic = ui::ReadyPictures::notReady().toImage();
        auto pictureOf = [&](int row) {
            return view.topLevelItem(row)
                ->icon(ui::MemberListView::Ready)
                .pixmap(16, 16)
                .toImage()
                .convertToFormat(readyPic.format());
        };
        QCOMPARE(pictureOf(0), readyPic);
        QCOMPARE(pictureOf(1), notReadyPic);
        QCOMPARE(pictureOf(2), readyPic);
        QCOMPARE(view.topLevelItem(2)->text(ui::MemberListView::Ping), QString("37 ms"));
        QCOMPARE(view.header()->sectionSize(ui::MemberListView::RemotePort), 0);
        QCOMPARE(view.header()->sectionSize(ui::MemberListView::UdpPort), 0);

        const auto back = view.members();
        QCOMPARE(back.size(), rows.size());
        QCOMPARE(back[1].readyCode, std::string("1"));
        QCOMPARE(back[1].team, std::string(" "));
        QCOMPARE(back[2].remotePort, std::string("50002"));

        // A refresh keeps the selected member selected even when rows before it go.
        view.setCurrentItem(view.topLevelItem(2));
        rows.erase(rows.begin() + 1);
        rows[1].readyCode = "1";
        view.setMembers(rows);
        QVERIFY(view.currentItem());
        QCOMPARE(view.currentItem()->text(ui::MemberListView::Nicknames), QString("Bob"));
        QCOMPARE(view.topLevelItem(1)->icon(0).pixmap(16, 16).toImage().convertToFormat(
                     notReadyPic.format()),
                 notReadyPic);
    }

    void settingsListClickClearsSelection()
    {
        ui::SettingsListView view;
        view.setRows({{"Game", "Blood Game"}, {"SourcePort", "NBlood"}});
        QCOMPARE(view.topLevelItemCount(), 2);
        view.resize(300, 200);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        const QRect rect = view.visualItemRect(view.topLevelItem(1));
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, rect.center());
        QCOMPARE(view.currentItem(), view.topLevelItem(1)); // the click landed on the row
        QVERIFY(view.selectedItems().isEmpty());
        QCOMPARE(view.rows()[1].value, std::string("NBlood"));
    }

    void roomPanelArrangesItsListsAndSends_data()
    {
        QTest::addColumn<bool>("sideBySide");
        QTest::newRow("host window") << true;
        QTest::newRow("client window") << false;
    }
    void roomPanelArrangesItsListsAndSends()
    {
        QFETCH(bool, sideBySide);
        ui::RoomPanel panel(ui::kRoomHostMemberColumns, sideBySide
                                                            ? ui::RoomPanel::Lists::SideBySide
                                                            : ui::RoomPanel::Lists::Stacked);
        panel.resize(600, 500);
        panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&panel));
        // Where each part sits in the panel.
        const auto place = [&panel](QWidget* part) {
            return QRect(part->mapTo(&panel, QPoint()), part->size());
        };
        const QRect members = place(panel.members());
        const QRect settings = place(panel.settingsList());
        QVERIFY(members.top() > place(panel.log()).bottom());
        if (sideBySide) {
            QCOMPARE(settings.top(), members.top());
            QVERIFY(settings.left() > members.right());
        } else {
            QVERIFY(settings.top() > members.bottom());
        }

        QSignalSpy sends(&panel, &ui::RoomPanel::sendRequested);
        QTest::keyClicks(panel.chatEdit(), "hi");
        QTest::keyClick(panel.chatEdit(), Qt::Key_Return);
        panel.findChild<QPushButton*>("sendButton")->click();
        QCOMPARE(sends.size(), 2);
        QCOMPARE(panel.chatText(), QString("hi")); // the window decides when it is sent
        panel.appendLog("one");
        panel.clear();
        QCOMPARE(panel.log()->toPlainText(), QString());
        QCOMPARE(panel.chatText(), QString());

        // Ping cells go through the list; a row past its end is left alone.
        panel.members()->setMembers({member("1", "Ann", "1"), member("0", "Bob", "2")});
        panel.members()->setPing(1, "12 ms");
        panel.members()->setPing(5, "99 ms");
        QCOMPARE(panel.members()->topLevelItem(1)->text(ui::MemberListView::Ping),
                 QString("12 ms"));
        QCOMPARE(panel.members()->topLevelItemCount(), 2);
    }
};

QTEST_MAIN(TestRoomViews)
#include "tst_roomviews.moc"
