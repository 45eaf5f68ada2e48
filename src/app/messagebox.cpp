#include "messagebox.h"

#include <QDebug>
#include <QGuiApplication>

namespace {
MessageBoxHook& hook()
{
    static MessageBoxHook installed;
    return installed;
}

QMessageBox::StandardButton defaultAnswer(const SMessageBox& box)
{
    if (box.defaultButton != QMessageBox::NoButton)
        return box.defaultButton;
    // The button a user gets by pressing Enter on a box without a default: the first one.
    for (int bit = QMessageBox::FirstButton; bit <= QMessageBox::LastButton; bit <<= 1) {
        if (box.buttons & bit)
            return QMessageBox::StandardButton(bit);
    }
    return QMessageBox::Ok;
}
} // namespace

MessageBoxHook setMessageBoxHook(MessageBoxHook replacement)
{
    MessageBoxHook previous = std::move(hook());
    hook() = std::move(replacement);
    return previous;
}

QMessageBox::StandardButton showMessageBox(const SMessageBox& box)
{
    if (hook())
        return hook()(box);
    if (QGuiApplication::platformName() == QLatin1String("offscreen")) {
        const QMessageBox::StandardButton answer = defaultAnswer(box);
        qDebug() << "Message box:" << box.title << box.text << "answered" << answer;
        return answer;
    }
    QMessageBox message(box.icon, box.title, box.text, box.buttons, box.parent);
    if (box.defaultButton != QMessageBox::NoButton)
        message.setDefaultButton(box.defaultButton);
    if (!box.informativeText.isEmpty())
        message.setInformativeText(box.informativeText);
    return QMessageBox::StandardButton(message.exec());
}
