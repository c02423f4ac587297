#include "fieldedit.h"

#include "conversions.h"
#include "fieldrules.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>

namespace blinds {

namespace {

bool isPrintable(const QString &text)
{
    if (text.isEmpty())
        return false;
    for (QChar c : text) {
        if (!c.isPrint())
            return false;
    }
    return true;
}

qsizetype byteCount(const QString &text)
{
    return toGbk(text).size();
}

} // namespace

FieldEdit::FieldEdit(QWidget *parent) : QLineEdit(parent)
{
    // Nothing is dropped into the fields, so no text can bypass their rules.
    setAcceptDrops(false);
}

void FieldEdit::setInputMode(InputMode mode)
{
    m_mode = mode;
    setReadOnly(mode == readOnly);
}

QString FieldEdit::filterTyped(const QString &text) const
{
    QByteArray kept;
    for (char byte : toGbk(text)) {
        const int code = static_cast<quint8>(byte);
        int result = code;
        if (m_mode == byteNumber && !isByteNumberChar(code))
            result = 0;
        else if (m_filter)
            result = m_filter(code);
        if (result != 0)
            kept.append(static_cast<char>(result));
    }
    return fromGbk(kept);
}

// The longest leading part of text, in whole characters, that fits beside
// what stays of the field's text (the selection is replaced).
QString FieldEdit::fitting(const QString &text) const
{
    if (m_maxBytes == 0)
        return text;
    qsizetype room = m_maxBytes - byteCount(this->text()) + byteCount(selectedText());
    qsizetype end = 0;
    while (end < text.size()) {
        const qsizetype next = end + (text.at(end).isHighSurrogate() ? 2 : 1);
        room -= byteCount(text.mid(end, next - end));
        if (room < 0)
            break;
        end = next;
    }
    return text.left(end);
}

void FieldEdit::pasteFrom(QClipboard::Mode mode)
{
    if (!takesClipboard())
        return;
    QString text = QGuiApplication::clipboard()->text(mode);
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == QLatin1Char('\r') || text.at(i) == QLatin1Char('\n')) {
            text.truncate(i); // a single-line field takes the first line
            break;
        }
    }
    text = fitting(text);
    if (!text.isEmpty())
        insert(text);
}

void FieldEdit::keyPressEvent(QKeyEvent *event)
{
    if (isReadOnly()) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    if (event->matches(QKeySequence::Paste)) {
        pasteFrom(QClipboard::Clipboard);
        event->accept();
        return;
    }
    // In a filtered field the copy, cut, paste and undo keys are characters
    // like any other and the filter drops them.
    if (m_filter && (event->matches(QKeySequence::Copy) || event->matches(QKeySequence::Cut) ||
                     event->matches(QKeySequence::Undo) || event->matches(QKeySequence::Redo))) {
        event->accept();
        return;
    }
    // With Ctrl, Alt or Meta held a key is an editing command of the field
    // (select all, ...), never a character: Qt's line edit would insert the
    // text of Alt+A past the filter.
    if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) {
        QKeyEvent command(event->type(), event->key(), event->modifiers(), event->nativeScanCode(),
                          event->nativeVirtualKey(), event->nativeModifiers(), QString(),
                          event->isAutoRepeat(), event->count());
        QLineEdit::keyPressEvent(&command);
        event->setAccepted(command.isAccepted());
        return;
    }
    if (isPrintable(event->text())) {
        const QString text = fitting(filterTyped(event->text()));
        if (!text.isEmpty())
            insert(text);
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void FieldEdit::inputMethodEvent(QInputMethodEvent *event)
{
    if (isReadOnly()) {
        event->ignore(); // Qt's line edit would take the commit all the same
        return;
    }
    if (event->commitString().isEmpty()) {
        QLineEdit::inputMethodEvent(event);
        return;
    }
    QInputMethodEvent filtered(event->preeditString(), event->attributes());
    filtered.setCommitString(fitting(filterTyped(event->commitString())), event->replacementStart(),
                             event->replacementLength());
    QLineEdit::inputMethodEvent(&filtered);
    event->setAccepted(filtered.isAccepted());
}

void FieldEdit::focusOutEvent(QFocusEvent *event)
{
    // A context menu borrows the focus and gives it back; the field has not
    // been left.
    const bool left = event->reason() != Qt::PopupFocusReason;
    if (left && m_mode == byteNumber)
        normalise();
    QLineEdit::focusOutEvent(event);
    if (left)
        emit lostFocus();
}

void FieldEdit::normalise()
{
    const QString current = text();
    const QString normal = normaliseByteNumber(current);
    if (normal == current)
        return;
    // The caret keeps its place counted in bytes, as far as the new text reaches.
    const qsizetype caret = byteCount(current.left(cursorPosition()));
    setText(normal);
    setCursorPosition(int(qMin<qsizetype>(caret, normal.size())));
    deselect();
}

// Qt's own menu would paste past the byte limit and the filter, so the
// field builds the same menu over its own paste.
QMenu *FieldEdit::createContextMenu()
{
    auto *menu = new QMenu(this);
    const bool editable = !isReadOnly();
    // A filtered field takes none of the clipboard and undo keys; its menu
    // offers them neither.
    const bool keys = !m_filter;
    auto add = [&](const char *name, const char *text, QKeySequence::StandardKey key, bool enabled,
                   auto slot) {
        QString caption = QCoreApplication::translate("QLineEdit", text);
        if (key != QKeySequence::UnknownKey)
            caption += QLatin1Char('\t') + QKeySequence(key).toString(QKeySequence::NativeText);
        QAction *action = menu->addAction(caption, this, slot);
        action->setObjectName(QLatin1String(name));
        action->setEnabled(enabled);
    };
    if (editable) {
        add("edit-undo", "&Undo", QKeySequence::Undo, keys && isUndoAvailable(), &QLineEdit::undo);
        add("edit-redo", "&Redo", QKeySequence::Redo, keys && isRedoAvailable(), &QLineEdit::redo);
        menu->addSeparator();
        add("edit-cut", "Cu&t", QKeySequence::Cut, keys && hasSelectedText(), &QLineEdit::cut);
    }
    add("edit-copy", "&Copy", QKeySequence::Copy, keys && hasSelectedText(), &QLineEdit::copy);
    if (editable) {
        add("edit-paste", "&Paste", QKeySequence::Paste,
            takesClipboard() && !QGuiApplication::clipboard()->text().isEmpty(),
            [this] { pasteFrom(QClipboard::Clipboard); });
        add("edit-delete", "Delete", QKeySequence::UnknownKey, hasSelectedText(),
            [this] { del(); });
    }
    menu->addSeparator();
    add("select-all", "Select All", QKeySequence::SelectAll, !text().isEmpty(),
        &QLineEdit::selectAll);
    return menu;
}

void FieldEdit::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu *menu = createContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
    event->accept();
}

void FieldEdit::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::MiddleButton && !isReadOnly()) {
        if (QGuiApplication::clipboard()->supportsSelection())
            pasteFrom(QClipboard::Selection);
        event->accept();
        return;
    }
    QLineEdit::mouseReleaseEvent(event);
}

} // namespace blinds
