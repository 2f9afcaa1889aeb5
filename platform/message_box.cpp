#include "message_box.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace platform {

namespace {

MessageBoxHandler& handler()
{
    static MessageBoxHandler h;
    return h;
}

void showMessageBox(const QString& title, const QString& prompt)
{
    // Owned by the active window when there is one, like any modal box of the program.
    QMessageBox box(QMessageBox::NoIcon, title, prompt, QMessageBox::Ok,
                    QApplication::activeWindow());
    box.setTextFormat(Qt::PlainText);
    box.button(QMessageBox::Ok)->setIcon(QIcon()); // a plain OK, as every box of the program
    box.exec();
}

} // namespace

void MsgBox(const QString& prompt)
{
    if (handler())
        handler()(AppTitle, prompt);
    else
        showMessageBox(AppTitle, prompt);
}

MessageBoxHandler setMessageBoxHandler(MessageBoxHandler h)
{
    return std::exchange(handler(), std::move(h));
}

} // namespace platform
