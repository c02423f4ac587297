#pragma once

#include <QClipboard>
#include <QLineEdit>

#include <functional>

class QMenu;

namespace blinds {

// A single-line field whose limits bind the operator alone: what is typed
// passes a byte filter and a byte-counted maximum length, while a text that
// the program writes with setText is shown exactly as given.
class FieldEdit : public QLineEdit
{
    Q_OBJECT
    Q_PROPERTY(InputMode inputMode READ inputMode WRITE setInputMode)
    Q_PROPERTY(int maxBytes READ maxBytes WRITE setMaxBytes)

public:
    enum InputMode
    {
        anyText,    // takes every character (a character filter may still drop some)
        byteNumber, // takes digits; normalised to 0..255 on losing the focus
        readOnly,   // the operator cannot change the text
    };
    Q_ENUM(InputMode)

    // Called for every byte typed or committed by an input method: 0 drops
    // it, any other value goes in instead. A field with a filter takes no
    // text from the clipboard, so the filter is the only way in.
    using CharacterFilter = std::function<int(int code)>;

    explicit FieldEdit(QWidget *parent = nullptr);

    InputMode inputMode() const { return m_mode; }
    void setInputMode(InputMode mode);
    // The most GBK bytes the operator can bring into the field; 0 for no limit.
    int maxBytes() const { return m_maxBytes; }
    void setMaxBytes(int bytes) { m_maxBytes = qMax(0, bytes); }
    void setCharacterFilter(CharacterFilter filter) { m_filter = std::move(filter); }

    bool takesClipboard() const { return m_mode != readOnly && !m_filter; }
    // The field's context menu; the caller owns it.
    QMenu *createContextMenu();

signals:
    // The field has lost the focus, after a byteNumber field has normalised
    // its text. Not raised while a popup (a context menu) holds the focus.
    void lostFocus();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    QString filterTyped(const QString &text) const;
    QString fitting(const QString &text) const;
    void pasteFrom(QClipboard::Mode mode);
    void normalise();

    InputMode m_mode = anyText;
    int m_maxBytes = 0;
    CharacterFilter m_filter;
};

} // namespace blinds
