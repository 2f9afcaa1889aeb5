// The metafile player's parsing pieces: the object table's slots and the decoding of 8-bit
// text by character set.
#include "platform/metafile/gdi_objects.h"
#include "platform/metafile/object_table.h"
#include "platform/metafile/text_decoding.h"

#include <QTest>

using namespace platform::metafile;

class TestMetafileParsing : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void objectTableFillsLowestFreeSlot();
    void objectTableIgnoresIndexesOutOfRange();
    void decodeCharset_data();
    void decodeCharset();
    void advancesFoldOntoDoubleByteCharacters();
    void symbolCharactersMapToUnicode_data();
    void symbolCharactersMapToUnicode();
    void colorRef_data();
    void colorRef();
};

void TestMetafileParsing::objectTableFillsLowestFreeSlot()
{
    ObjectTable table;
    QCOMPARE(table.add(GdiPen{}), 0);
    QCOMPARE(table.add(GdiBrush{}), 1);
    QCOMPARE(table.add(GdiFont{}), 2);
    table.remove(1);
    QVERIFY(!table.get(1));
    // WMF puts the next object into the lowest free slot, not at the end.
    QCOMPARE(table.add(GdiPalette{}), 1);
    QVERIFY(std::holds_alternative<GdiPalette>(*table.get(1)));
    QCOMPARE(table.add(GdiPen{}), 3);
    table.remove(0);
    table.remove(2);
    QCOMPARE(table.add(GdiBrush{}), 0);
    QCOMPARE(table.add(GdiBrush{}), 2);
}

void TestMetafileParsing::objectTableIgnoresIndexesOutOfRange()
{
    ObjectTable table;
    table.set(ObjectTable::MaxObjects, GdiPen{});
    QVERIFY(!table.get(ObjectTable::MaxObjects));
    table.set(0xFFFFFFFF, GdiPen{});
    QVERIFY(!table.get(0xFFFFFFFF));
    table.remove(0xFFFFFFFF);
    table.set(7, GdiBrush{});
    QVERIFY(table.get(7));
    QVERIFY(!table.get(6));
}

void TestMetafileParsing::decodeCharset_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("charSet");
    QTest::addColumn<QString>("text");
    QTest::newRow("ANSI e-acute") << QByteArray("caf\xE9") << 0 << u"café"_qs;
    QTest::newRow("ANSI euro in 0x80") << QByteArray("\x80") << 0 << u"€"_qs;
    QTest::newRow("default reads as ANSI") << QByteArray("\x93q\x94") << 1 << u"“q”"_qs;
    QTest::newRow("Shift-JIS kanji") << QByteArray("\x93\xFA\x96\x7B") << 128 << u"日本"_qs;
    QTest::newRow("Shift-JIS half-width kana") << QByteArray("\xCB\xDF") << 128 << u"ﾋﾟ"_qs;
    QTest::newRow("GB2312") << QByteArray("\xCB\xCE\xCC\xE5") << 134 << u"宋体"_qs;
    QTest::newRow("Big5") << QByteArray("\xB7\x73\xB2\xD3\xA9\xFA\xC5\xE9") << 136
                          << u"新細明體"_qs;
    QTest::newRow("Cyrillic") << QByteArray("\xCF\xF0\xE8") << 204 << u"При"_qs;
    QTest::newRow("Greek") << QByteArray("\xE1\xE2") << 161 << u"αβ"_qs;
    QTest::newRow("East European") << QByteArray("\x9A") << 238 << u"š"_qs;
    QTest::newRow("Hebrew") << QByteArray("\xF9") << 177 << u"ש"_qs;
}

void TestMetafileParsing::decodeCharset()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, charSet);
    QFETCH(QString, text);
    QCOMPARE(platform::metafile::decodeCharset(bytes, charSet), text);
}

void TestMetafileParsing::advancesFoldOntoDoubleByteCharacters()
{
    // "A日B" in Shift-JIS: four bytes with one advance each.
    const QByteArray bytes("A\x93\xFA"
                           "B");
    const DecodedText out = decodeWithAdvances(bytes, SHIFTJIS_CHARSET, false, {10, 7, 8, 12});
    QCOMPARE(out.text, u"A日B"_qs);
    QCOMPARE(out.dx, (std::vector<double>{10, 15, 12}));
    // Single-byte code pages keep one advance per byte.
    const DecodedText ansi = decodeWithAdvances("ab", ANSI_CHARSET, false, {3, 4});
    QCOMPARE(ansi.dx, (std::vector<double>{3, 4}));
    // Without advances none are made up.
    QVERIFY(decodeWithAdvances(bytes, SHIFTJIS_CHARSET, false, {}).dx.empty());
}

void TestMetafileParsing::symbolCharactersMapToUnicode_data()
{
    QTest::addColumn<QString>("written");
    QTest::addColumn<QString>("shown");
    QTest::newRow("alpha beta") << u"ab"_qs << u"αβ"_qs;
    QTest::newRow("capital omega") << u"W"_qs << u"Ω"_qs;
    QTest::newRow("private-use alias") << QString(QChar(0xF070)) << u"π"_qs;
    QTest::newRow("operators") << QString::fromLatin1("\xB4\xB9\xA3") << u"×≠≤"_qs;
    QTest::newRow("digits stay") << u"12"_qs << u"12"_qs;
    QTest::newRow("integral and sum") << QString::fromLatin1("\xF2\xE5") << u"∫∑"_qs;
    QTest::newRow("outside the font stays") << u"日"_qs << u"日"_qs;
}

void TestMetafileParsing::symbolCharactersMapToUnicode()
{
    QFETCH(QString, written);
    QFETCH(QString, shown);
    QCOMPARE(symbolToUnicode(written), shown);
}

void TestMetafileParsing::colorRef_data()
{
    QTest::addColumn<quint32>("ref");
    QTest::addColumn<QColor>("color");
    QTest::newRow("red") << quint32(0x000000FF) << QColor(255, 0, 0);
    QTest::newRow("blue") << quint32(0x00FF0000) << QColor(0, 0, 255);
    QTest::newRow("palette-relative reads as RGB") << quint32(0x0200FF00) << QColor(0, 255, 0);
    QTest::newRow("palette index without palette") << quint32(0x01000003) << QColor(0, 0, 0);
}

void TestMetafileParsing::colorRef()
{
    QFETCH(quint32, ref);
    QFETCH(QColor, color);
    QCOMPARE(colorFromRef(ref), color);
    GdiPalette palette;
    palette.entries = {qRgb(1, 2, 3), qRgb(4, 5, 6)};
    QCOMPARE(colorFromRef(0x01000001, &palette), QColor(4, 5, 6));
}

QTEST_APPLESS_MAIN(TestMetafileParsing)
#include "tst_metafile_parsing.moc"
