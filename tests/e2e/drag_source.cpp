// A tiny drag source for the end-to-end tests: a 100x100 window at (600, 400) that starts a
// real drag of the files named on its command line (text/uri-list) when the left button is
// pressed on it; with "--text", a drag of plain text instead. Ends shortly after the drop;
// exit status 0 when the drop was taken, 3 when it was refused.
#include <QApplication>
#include <QDrag>
#include <QMimeData>
#include <QMouseEvent>
#include <QTimer>
#include <QUrl>
#include <QWidget>

namespace {

class Source : public QWidget {
public:
    explicit Source(QStringList items, bool text)
        : m_items(std::move(items))
        , m_text(text)
    {
        setWindowTitle(QStringLiteral("drag source"));
        setGeometry(600, 400, 100, 100);
    }

protected:
    void mousePressEvent(QMouseEvent* event) override
    {
        if (event->button() != Qt::LeftButton)
            return;
        auto* mime = new QMimeData;
        if (m_text) {
            mime->setText(m_items.join(u'\n'));
        } else {
            QList<QUrl> urls;
            for (const QString& item : m_items)
                urls.append(QUrl::fromLocalFile(item));
            mime->setUrls(urls);
        }
        auto* drag = new QDrag(this);
        drag->setMimeData(mime);
        const Qt::DropAction result = drag->exec(Qt::CopyAction);
        // exec() returns as soon as the drop is sent; the target then asks this program for
        // the data, so it stays a moment longer, as a file manager would.
        hide();
        QTimer::singleShot(1500, qApp,
                           [result] { QApplication::exit(result == Qt::IgnoreAction ? 3 : 0); });
    }

private:
    QStringList m_items;
    bool m_text;
};

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QStringList items = app.arguments().mid(1);
    const bool text = items.removeAll(QStringLiteral("--text")) > 0;
    Source source(items, text);
    source.show();
    return app.exec();
}
