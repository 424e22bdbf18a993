#include "base/common/Fields.h"
#include "base/common/LineFraming.h"
#include "support/StringLists.h"

#include <QTest>

using namespace vantrell;

namespace {
std::vector<std::string> drain(LineReader& reader)
{
    std::vector<std::string> lines;
    while (auto line = reader.nextLine())
        lines.push_back(*line);
    return lines;
}

} // namespace

class TestFraming : public QObject
{
    Q_OBJECT

private slots:
    void encodeReplacesNonAsciiAndEndsWithCrLf_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("wire");
        QTest::newRow("plain") << QByteArray("RoomChat~Ann~hi")
                               << QByteArray("RoomChat~Ann~hi\r\n");
        QTest::newRow("two-byte utf8") << QByteArray("J\xc3\xb6rg") << QByteArray("J?rg\r\n");
        QTest::newRow("four-byte utf8")
            << QByteArray("a\xf0\x9f\x98\x80z") << QByteArray("a?z\r\n");
        QTest::newRow("stray continuation byte") << QByteArray("a\x80z") << QByteArray("a?z\r\n");
        QTest::newRow("empty") << QByteArray() << QByteArray("\r\n");
    }
    void encodeReplacesNonAsciiAndEndsWithCrLf()
    {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, wire);
        QCOMPARE(QByteArray::fromStdString(encodeLine(text.toStdString())), wire);
    }

    void readerSplitsAcrossArbitraryChunks()
    {
        const std::string stream = "first\r\nsecond\n\r\nthird\r\r\nlast-partial";
        // Every chunking of the stream must yield the same lines.
        for (std::size_t chunk = 1; chunk <= stream.size(); ++chunk) {
            LineReader reader;
            std::vector<std::string> lines;
            for (std::size_t i = 0; i < stream.size(); i += chunk) {
                QVERIFY(reader.feed(std::string_view(stream).substr(i, chunk)));
                for (auto& l : drain(reader))
                    lines.push_back(l);
            }
            QCOMPARE(toQt(lines), (QStringList{"first", "second", "", "third\r"}));
            QCOMPARE(reader.pendingBytes(), std::size_t(12));
        }
    }

    void readerLineLengthLimit_data()
    {
        QTest::addColumn<int>("length");
        QTest::addColumn<bool>("withLineEnd");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("16384 with CRLF") << 16384 << true << true;
        QTest::newRow("16385 with CRLF") << 16385 << true << false;
        QTest::newRow("16385 still unterminated") << 16385 << false << true;
        QTest::newRow("16386 unterminated") << 16386 << false << false;
    }
    void readerLineLengthLimit()
    {
        QFETCH(int, length);
        QFETCH(bool, withLineEnd);
        QFETCH(bool, accepted);
        LineReader reader;
        std::string bytes(static_cast<std::size_t>(length), 'x');
        if (withLineEnd)
            bytes += "\r\n";
        reader.feed(bytes);
        const auto line = reader.nextLine();
        QCOMPARE(!reader.failed(), accepted);
        if (withLineEnd && accepted)
            QCOMPARE(line->size(), std::size_t(length));
        if (!accepted) {
            // A failed reader stays failed, whatever follows.
            QVERIFY(!reader.feed("ok\r\n"));
            QVERIFY(!reader.nextLine());
        }
    }

    void tildeSplitKeepsEveryField_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QStringList>("fields");
        QTest::newRow("empty last field")
            << "RoomSettingsUpdate~1~Map~E1L1~"
            << QStringList{"RoomSettingsUpdate", "1", "Map", "E1L1", ""};
        QTest::newRow("inner empty") << "a~~b" << QStringList{"a", "", "b"};
        QTest::newRow("empty line") << "" << QStringList{""};
        QTest::newRow("no tilde") << "PingPong" << QStringList{"PingPong"};
    }
    void tildeSplitKeepsEveryField()
    {
        QFETCH(QString, line);
        QFETCH(QStringList, fields);
        const auto split = splitTilde(line.toStdString());
        QCOMPARE(toQt(split), fields);
        QCOMPARE(QString::fromStdString(joinTilde(split)), line);
    }

    void commaSplitQuoting_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QStringList>("fields");
        QTest::newRow("quoted comma") << "UserListUpdate,2,\"Smith, J\",Bob"
                                      << QStringList{"UserListUpdate", "2", "Smith, J", "Bob"};
        QTest::newRow("doubled quote")
            << "a,\"say \"\"hi\"\"\",b" << QStringList{"a", "say \"hi\"", "b"};
        QTest::newRow("blanks belong to field") << "a, b ,c" << QStringList{"a", " b ", "c"};
        QTest::newRow("trailing comma")
            << "UserListUpdate,0," << QStringList{"UserListUpdate", "0", ""};
        QTest::newRow("unterminated quote") << "a,\"open" << QStringList{"a", "open"};
        QTest::newRow("text after closing quote") << "a,\"x\"y,z" << QStringList{"a", "xy", "z"};
        QTest::newRow("quote inside field") << "a,b\"c,d" << QStringList{"a", "b\"c", "d"};
    }
    void commaSplitQuoting()
    {
        QFETCH(QString, line);
        QFETCH(QStringList, fields);
        QCOMPARE(toQt(splitComma(line.toStdString())), fields);
    }

    void quotedFieldsReadBack_data()
    {
        QTest::addColumn<QString>("field");
        QTest::newRow("comma") << "Smith, J";
        QTest::newRow("leading quote") << "\"Q\" Ann";
        QTest::newRow("inner quote") << "Ann \"the\" B";
        QTest::newRow("plain") << "Bob";
        QTest::newRow("empty") << "";
    }
    void quotedFieldsReadBack()
    {
        QFETCH(QString, field);
        const std::string line = "X," + quoteCommaField(field.toStdString()) + ",tail";
        QCOMPARE(toQt(splitComma(line)), (QStringList{"X", field, "tail"}));
    }

    void decimalParsing_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<qlonglong>("value");
        QTest::newRow("digits") << "8501" << true << 8501LL;
        QTest::newRow("zero") << "0" << true << 0LL;
        QTest::newRow("sign") << "-1" << false << 0LL;
        QTest::newRow("plus") << "+1" << false << 0LL;
        QTest::newRow("blank") << " 1" << false << 0LL;
        QTest::newRow("empty") << "" << false << 0LL;
        QTest::newRow("overflow") << "99999999999999999999999" << false << 0LL;
    }
    void decimalParsing()
    {
        QFETCH(QString, text);
        QFETCH(bool, ok);
        QFETCH(qlonglong, value);
        long long out = 0;
        QCOMPARE(parseDecimal(text.toStdString(), out), ok);
        if (ok)
            QCOMPARE(out, value);
    }
};

QTEST_GUILESS_MAIN(TestFraming)
#include "tst_framing.moc"
