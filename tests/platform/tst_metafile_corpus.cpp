// The metafile player over the corpus of real files beside the project: every good file
// opens at the own size its reference renderings have, and every malformed one is refused
// or drawn in part, never crashing or hanging.
#include "platform/errors.h"
#include "platform/picture_loader.h"
#include "support/fixtures.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QTest>

class TestMetafileCorpus : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void goodFilesOpenAtTheirOwnSize_data();
    void goodFilesOpenAtTheirOwnSize();
    void badFilesAreRefusedOrPartial_data();
    void badFilesAreRefusedOrPartial();
};

void TestMetafileCorpus::goodFilesOpenAtTheirOwnSize_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QSize>("size96");
    QTest::addColumn<QSize>("size192");
    const QString root = testing::corpusDir();
    if (root.isEmpty())
        QSKIP("the corpus (../shared/corpus) is absent");
    QFile table(root + u"/metafile/reference/own_size.tsv");
    QVERIFY(table.open(QIODevice::ReadOnly));
    while (!table.atEnd()) {
        const QStringList f = QString::fromUtf8(table.readLine()).trimmed().split(u'\t');
        // file, header kind, width, height, units per inch, w96, h96, w192, h192
        if (f.size() < 9 || f[0].startsWith(u'#'))
            continue;
        const QString sub = f[0].endsWith(u".emf"_qs) ? u"emf"_qs : u"wmf"_qs;
        QTest::newRow(qPrintable(f[0]))
            << root + u"/metafile/" + sub + u'/' + f[0] << QSize(f[5].toInt(), f[6].toInt())
            << QSize(f[7].toInt(), f[8].toInt());
    }
}

void TestMetafileCorpus::goodFilesOpenAtTheirOwnSize()
{
    QFETCH(QString, path);
    QFETCH(QSize, size96);
    QFETCH(QSize, size192);
    const platform::Picture picture = platform::LoadPicture(path);
    QCOMPARE(picture.kind(), platform::Picture::Kind::Vector);
    QCOMPARE(picture.pixelSize(96, 96), size96);
    QCOMPARE(picture.pixelSize(192, 192), size192);
}

void TestMetafileCorpus::badFilesAreRefusedOrPartial_data()
{
    QTest::addColumn<QString>("path");
    const QStringList files = testing::corpusFiles(u"metafile/bad"_qs);
    if (files.isEmpty())
        QSKIP("the corpus (../shared/corpus) is absent");
    for (const QString& file : files)
        QTest::newRow(qPrintable(QFileInfo(file).fileName())) << file;
}

void TestMetafileCorpus::badFilesAreRefusedOrPartial()
{
    QFETCH(QString, path);
    QElapsedTimer clock;
    clock.start();
    platform::Picture picture;
    try {
        picture = platform::LoadPicture(path);
    } catch (const platform::Error& e) {
        QCOMPARE(e.number(), int(platform::InvalidPicture));
        return;
    }
    // Whatever it holds is played, onto a small image, in bounded time.
    QImage image(200, 200, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    picture.paint(painter, QRectF(0, 0, 200, 200));
    painter.end();
    QVERIFY2(clock.elapsed() < 10000, qPrintable(QString::number(clock.elapsed())));
}

QTEST_MAIN(TestMetafileCorpus)
#include "tst_metafile_corpus.moc"
