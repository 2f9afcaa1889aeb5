// The records of both formats as the players cut them out: the fixed size of each record
// type against the format documents, and records cut short, which must draw nothing and
// leave the records after them playing.
#include "platform/metafile/emf_records.h"
#include "platform/metafile/record_reader.h"
#include "platform/metafile/wmf_records.h"
#include "support/metafile_writer.h"

#include <QTest>

using namespace platform::metafile;
using testing::Bytes;
using testing::EmfWriter;
using testing::Probes;
using testing::WmfWriter;

namespace {

const QColor Red(255, 0, 0);
const QColor Blue(0, 0, 255);
const QColor White(255, 255, 255);

constexpr int BS_SOLID_STYLE = 0;
constexpr int PS_SOLID_STYLE = 0;
constexpr int PS_NULL_STYLE = 5;

// An EMF of one inch, 96 device units across: a red brush selected from slot 1, a null pen
// from slot 2.
EmfWriter emf()
{
    EmfWriter e;
    e.createBrush(1, BS_SOLID_STYLE, Red)
        .selectObject(1)
        .createPen(2, PS_NULL_STYLE, 0, Qt::black)
        .selectObject(2);
    return e;
}

// A WMF of one inch, 1440 units across (15 to a pixel): a red brush in slot 0 and a null pen
// in slot 1, both selected.
WmfWriter wmf()
{
    WmfWriter w;
    w.createBrush(BS_SOLID_STYLE, Red)
        .selectObject(0)
        .createPen(PS_NULL_STYLE, 0, Qt::black)
        .selectObject(1);
    return w;
}

} // namespace

class TestMetafileRecords : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void fixedSizes_data();
    void fixedSizes();
    void unknownTypesHaveNoEntry_data();
    void unknownTypesHaveNoEntry();
    void everyEntryHoldsItsHead();
    void readerCutsRecordsOut_data();
    void readerCutsRecordsOut();
    void shortRecordsAreSkipped_data();
    void shortRecordsAreSkipped();
};

void TestMetafileRecords::fixedSizes_data()
{
    QTest::addColumn<bool>("emf");
    QTest::addColumn<quint32>("type");
    QTest::addColumn<quint32>("bytes");

    // [MS-EMF] 2.3: the Size of the shortest record of each type, in bytes.
    QTest::newRow("EMR_SETWINDOWORGEX") << true << 10u << 16u;
    QTest::newRow("EMR_MOVETOEX") << true << 27u << 16u;
    QTest::newRow("EMR_RECTANGLE") << true << 43u << 24u;
    QTest::newRow("EMR_POLYGON16") << true << 86u << 28u;
    QTest::newRow("EMR_MODIFYWORLDTRANSFORM") << true << 36u << 36u;
    QTest::newRow("EMR_EXTCREATEPEN") << true << 95u << 52u;
    QTest::newRow("EMR_FILLPATH") << true << 62u << 24u;
    QTest::newRow("EMR_EXTTEXTOUTW, without its EmrText's rectangle") << true << 84u << 60u;
    QTest::newRow("EMR_SMALLTEXTOUT, without its bounds") << true << 108u << 36u;
    QTest::newRow("EMR_BITBLT") << true << 76u << 100u;
    QTest::newRow("EMR_STRETCHDIBITS") << true << 81u << 80u;
    QTest::newRow("EMR_EOF") << true << 14u << 20u;
    // [MS-WMF] 2.3: RecordSize in 16-bit words, here in bytes.
    QTest::newRow("META_SETTEXTCOLOR, 5 words") << false << 0x0209u << 10u;
    QTest::newRow("META_SETTEXTALIGN, its Reserved word optional") << false << 0x012Eu << 8u;
    QTest::newRow("META_SCALEWINDOWEXT, 7 words") << false << 0x0410u << 14u;
    QTest::newRow("META_RECTANGLE, 7 words") << false << 0x041Bu << 14u;
    QTest::newRow("META_ARC, 11 words") << false << 0x0817u << 22u;
    QTest::newRow("META_CREATEREGION, 14 words") << false << 0x06FFu << 28u;
    QTest::newRow("META_CREATEPATTERNBRUSH, 19 words") << false << 0x01F9u << 38u;
    QTest::newRow("META_BITBLT with a bitmap, 11 words") << false << 0x0922u << 22u;
    QTest::newRow("META_STRETCHDIB, 14 words") << false << 0x0F43u << 28u;
    QTest::newRow("META_EXTTEXTOUT, without its rectangle") << false << 0x0A32u << 14u;
}

void TestMetafileRecords::fixedSizes()
{
    QFETCH(bool, emf);
    QFETCH(quint32, type);
    QFETCH(quint32, bytes);
    const RecordKind* kind = emf ? emfRecordKind(type) : wmfRecordKind(type);
    QVERIFY(kind);
    QCOMPARE(kind->type, type);
    QCOMPARE(kind->minimumBytes, bytes);
}

void TestMetafileRecords::unknownTypesHaveNoEntry_data()
{
    QTest::addColumn<bool>("emf");
    QTest::addColumn<quint32>("type");
    QTest::newRow("EMF 0") << true << 0u;
    QTest::newRow("EMF 69, reserved") << true << 69u;
    QTest::newRow("EMF 117, reserved") << true << 117u;
    QTest::newRow("EMF past the last type") << true << 123u;
    QTest::newRow("WMF META_CREATEBITMAP, obsolete") << false << 0x06FEu;
    QTest::newRow("WMF 0x0001") << false << 0x0001u;
    QTest::newRow("WMF past the last function") << false << 0x0F44u;
}

void TestMetafileRecords::unknownTypesHaveNoEntry()
{
    QFETCH(bool, emf);
    QFETCH(quint32, type);
    QVERIFY(!(emf ? emfRecordKind(type) : wmfRecordKind(type)));
}

void TestMetafileRecords::everyEntryHoldsItsHead()
{
    // An EMF record is whole 32-bit words, its head 8 bytes; a WMF record's head is 6.
    for (const RecordKind& kind : EmfRecordKinds) {
        QVERIFY2(kind.minimumBytes >= 8 && kind.minimumBytes % 4 == 0,
                 qPrintable(QString::number(kind.type)));
    }
    for (const RecordKind& kind : WmfRecordKinds) {
        QVERIFY2(kind.minimumBytes >= 6 && kind.minimumBytes % 2 == 0,
                 qPrintable(QString::number(kind.type, 16)));
    }
}

void TestMetafileRecords::readerCutsRecordsOut_data()
{
    QTest::addColumn<bool>("emf");
    QTest::addColumn<QByteArray>("records");
    QTest::addColumn<QList<quint32>>("types");
    QTest::addColumn<QList<bool>>("shortened");

    // EMF: type, size in bytes, parameters.
    const QByteArray rect = Bytes().u32(43).u32(24).longs({0, 0, 10, 10}).data();
    const QByteArray eof = Bytes().u32(14).u32(20).longs({0, 16, 20}).data();
    QTest::newRow("EMF records up to EMR_EOF")
        << true << rect + rect + eof + rect << QList<quint32>{43, 43} << QList<bool>{false, false};
    QTest::newRow("EMF record cut short comes out marked")
        << true << Bytes().u32(43).u32(16).longs({0, 0}).data() + rect << QList<quint32>{43, 43}
        << QList<bool>{true, false};
    QTest::newRow("EMF type without an entry is not marked")
        << true << Bytes().u32(69).u32(8).data() + rect << QList<quint32>{69, 43}
        << QList<bool>{false, false};
    QTest::newRow("EMF size under the head ends the records")
        << true << rect + Bytes().u32(43).u32(4).data() + rect << QList<quint32>{43}
        << QList<bool>{false};
    QTest::newRow("EMF size not in whole words ends the records")
        << true << rect + Bytes().u32(43).u32(26).longs({0, 0, 10, 10}).u16(0).data()
        << QList<quint32>{43} << QList<bool>{false};
    QTest::newRow("EMF size past the end ends the records")
        << true << rect + Bytes().u32(43).u32(28).longs({0, 0, 10, 10}).data() << QList<quint32>{43}
        << QList<bool>{false};
    QTest::newRow("EMF head cut off at the end")
        << true << rect + Bytes().u32(43).data() << QList<quint32>{43} << QList<bool>{false};

    // WMF: size in 16-bit words, function, parameters.
    const QByteArray box = Bytes().u32(7).u16(META_RECTANGLE).words({10, 10, 0, 0}).data();
    const QByteArray end = Bytes().u32(3).u16(META_EOF).data();
    QTest::newRow("WMF records up to META_EOF")
        << false << box + box + end + box << QList<quint32>{META_RECTANGLE, META_RECTANGLE}
        << QList<bool>{false, false};
    QTest::newRow("WMF record cut short comes out marked")
        << false << Bytes().u32(5).u16(META_RECTANGLE).words({10, 10}).data() + box
        << QList<quint32>{META_RECTANGLE, META_RECTANGLE} << QList<bool>{true, false};
    QTest::newRow("WMF size under the head ends the records")
        << false << box + Bytes().u32(2).u16(META_RECTANGLE).words({10, 10, 0, 0}).data() + box
        << QList<quint32>{META_RECTANGLE} << QList<bool>{false};
    QTest::newRow("WMF size past the end ends the records")
        << false << box + Bytes().u32(8).u16(META_RECTANGLE).words({10, 10, 0, 0}).data()
        << QList<quint32>{META_RECTANGLE} << QList<bool>{false};
}

void TestMetafileRecords::readerCutsRecordsOut()
{
    QFETCH(bool, emf);
    QFETCH(QByteArray, records);
    QFETCH(QList<quint32>, types);
    QFETCH(QList<bool>, shortened);
    RecordReader reader(emf ? MetafileFormat::Emf : MetafileFormat::Wmf, records);
    QList<quint32> seenTypes;
    QList<bool> seenShortened;
    while (std::optional<MetafileRecord> record = reader.next()) {
        seenTypes.append(record->type);
        seenShortened.append(record->shortened);
        // An EMF record's reader spans the record from its head, a WMF record's the
        // parameters; both stand just past the head.
        const qint64 head = emf ? 8 : 6;
        QCOMPARE(record->reader.size(), emf ? qint64(record->size) : qint64(record->size) - head);
        QCOMPARE(record->reader.position(), emf ? head : 0);
    }
    QCOMPARE(seenTypes, types);
    QCOMPARE(seenShortened, shortened);
    QVERIFY(!reader.next());
}

void TestMetafileRecords::shortRecordsAreSkipped_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<Probes>("probes");

    // Each file has one record cut short, then a red rectangle over the left half. Played
    // with the zeros of its missing fields, the short record would move, recolour, clip or
    // draw something the probes see.
    const Probes leftHalfRed{{{24, 48}, Red}, {{72, 48}, White}};

    QTest::newRow("EMR_SETWINDOWORGEX without its y")
        << emf().longs(EMR_SETWINDOWORGEX, {-48}).rectangle(0, 0, 48, 96).finish() << leftHalfRed;
    QTest::newRow("EMR_RECTANGLE without its bottom")
        << emf().longs(EMR_RECTANGLE, {48, 96, 96}).rectangle(0, 0, 48, 96).finish() << leftHalfRed;
    QTest::newRow("EMR_INTERSECTCLIPRECT without its bottom")
        << emf().longs(EMR_INTERSECTCLIPRECT, {0, 0, 48}).rectangle(0, 0, 48, 96).finish()
        << leftHalfRed;
    QTest::newRow("EMR_SELECTOBJECT without its index") << emf()
                                                               .createBrush(0, BS_SOLID_STYLE, Blue)
                                                               .longs(EMR_SELECTOBJECT, {})
                                                               .rectangle(0, 0, 48, 96)
                                                               .finish()
                                                        << leftHalfRed;
    QTest::newRow("EMR_DELETEOBJECT without its index")
        << emf()
               .createBrush(0, BS_SOLID_STYLE, Blue)
               .longs(EMR_DELETEOBJECT, {})
               .selectObject(0)
               .rectangle(0, 0, 48, 96)
               .finish()
        << Probes{{{24, 48}, Blue}, {{72, 48}, White}};
    QTest::newRow("EMR_SETPIXELV without its colour")
        << emf().longs(EMR_SETPIXELV, {72, 48}).rectangle(0, 0, 48, 96).finish() << leftHalfRed;
    QTest::newRow("EMR_FILLPATH without its bounds") << emf()
                                                            .beginPath()
                                                            .rectangle(48, 0, 96, 96)
                                                            .endPath()
                                                            .longs(EMR_FILLPATH, {})
                                                            .rectangle(0, 0, 48, 96)
                                                            .finish()
                                                     << leftHalfRed;
    QTest::newRow("EMR_MOVETOEX without its y") << EmfWriter()
                                                       .createPen(1, PS_SOLID_STYLE, 8, Blue)
                                                       .selectObject(1)
                                                       .moveTo(0, 48)
                                                       .longs(EMR_MOVETOEX, {96})
                                                       .lineTo(96, 48)
                                                       .finish()
                                                << Probes{{{48, 48}, Blue}, {{92, 20}, White}};

    QTest::newRow("META_SETWINDOWORG without its x")
        << wmf().words(META_SETWINDOWORG, {720}).rectangle(0, 0, 720, 1440).finish()
        << Probes{{{24, 72}, Red}, {{72, 48}, White}};
    QTest::newRow("META_RECTANGLE without its left")
        << wmf().words(META_RECTANGLE, {1440, 1440, 0}).rectangle(0, 0, 720, 1440).finish()
        << leftHalfRed;
    QTest::newRow("META_INTERSECTCLIPRECT without its right, top and left")
        << wmf().words(META_INTERSECTCLIPRECT, {1440}).rectangle(0, 0, 720, 1440).finish()
        << leftHalfRed;
    QTest::newRow("META_SELECTOBJECT without its index")
        << wmf()
               .createBrush(BS_SOLID_STYLE, Blue)
               .selectObject(2)
               .words(META_SELECTOBJECT, {})
               .rectangle(0, 0, 720, 1440)
               .finish()
        << Probes{{{24, 48}, Blue}, {{72, 48}, White}};
    QTest::newRow("META_DELETEOBJECT without its index") << wmf()
                                                                .words(META_DELETEOBJECT, {})
                                                                .createBrush(BS_SOLID_STYLE, Blue)
                                                                .selectObject(0)
                                                                .rectangle(0, 0, 720, 1440)
                                                                .finish()
                                                         << leftHalfRed;
    // A pattern brush whose bitmap cannot be read paints solid in the text colour.
    QTest::newRow("META_SETTEXTCOLOR with half its colour")
        << wmf()
               .setTextColor(Blue)
               .words(META_SETTEXTCOLOR, {0x00FF})
               .record(META_DIBCREATEPATTERNBRUSH, Bytes().words({5, 0, 0, 0}))
               .selectObject(2)
               .rectangle(0, 0, 720, 1440)
               .finish()
        << Probes{{{24, 48}, Blue}, {{72, 48}, White}};
    // A creation record cut short creates nothing but still takes its slot: the blue brush
    // lands in slot 3, and selecting the empty slot 2 changes nothing.
    QTest::newRow("META_CREATEREGION without its scans and bounds")
        << wmf()
               .words(META_CREATEREGION, {0, 6, 0, 0})
               .createBrush(BS_SOLID_STYLE, Blue)
               .selectObject(2)
               .rectangle(0, 0, 720, 720)
               .selectObject(3)
               .rectangle(0, 720, 720, 1440)
               .finish()
        << Probes{{{24, 24}, Red}, {{24, 72}, Blue}, {{72, 48}, White}};
    QTest::newRow("META_CREATEPENINDIRECT without its colour")
        << wmf()
               .words(META_CREATEPENINDIRECT, {0, 0})
               .createBrush(BS_SOLID_STYLE, Blue)
               .selectObject(3)
               .rectangle(0, 0, 720, 1440)
               .finish()
        << Probes{{{24, 48}, Blue}, {{72, 48}, White}};
}

void TestMetafileRecords::shortRecordsAreSkipped()
{
    QFETCH(QByteArray, file);
    QFETCH(Probes, probes);
    const QImage image = testing::renderPicture(file);
    QCOMPARE(image.size(), QSize(96, 96));
    const QString mismatch = testing::mismatchedProbe(image, probes);
    QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
}

QTEST_MAIN(TestMetafileRecords)
#include "tst_metafile_records.moc"
