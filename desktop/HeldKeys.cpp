#include "desktop/HeldKeys.h"

#include <cstdlib>
#include <map>
#include <set>

#include <QApplication>
#include <QGuiApplication>
#include <QInputMethod>
#include <QPointer>
#include <QTextCursor>
#include <QTextEdit>
#include <QWidget>

#include <xkbcommon/xkbcommon-compose.h>
#include <xkbcommon/xkbcommon-keysyms.h>
#include <xkbcommon/xkbcommon.h>

namespace desktop::held_keys {

namespace {

// X core modifier bits, as a key event's state carries them.
constexpr std::uint32_t kShift = 1u << 0;
constexpr std::uint32_t kControl = 1u << 2;
constexpr std::uint32_t kMod1 = 1u << 3;  // Alt
constexpr std::uint32_t kMod4 = 1u << 6;  // Super

int qtKey(std::uint32_t keysym) {
    if (keysym >= XKB_KEY_F1 && keysym <= XKB_KEY_F35) return Qt::Key_F1 + static_cast<int>(keysym - XKB_KEY_F1);
    switch (keysym) {
    case XKB_KEY_Return: return Qt::Key_Return;
    case XKB_KEY_KP_Enter: return Qt::Key_Enter;
    case XKB_KEY_Escape: return Qt::Key_Escape;
    case XKB_KEY_BackSpace: return Qt::Key_Backspace;
    case XKB_KEY_Tab: return Qt::Key_Tab;
    case XKB_KEY_ISO_Left_Tab: return Qt::Key_Backtab;
    case XKB_KEY_Delete: case XKB_KEY_KP_Delete: return Qt::Key_Delete;
    case XKB_KEY_Insert: case XKB_KEY_KP_Insert: return Qt::Key_Insert;
    case XKB_KEY_Home: case XKB_KEY_KP_Home: return Qt::Key_Home;
    case XKB_KEY_End: case XKB_KEY_KP_End: return Qt::Key_End;
    case XKB_KEY_Left: case XKB_KEY_KP_Left: return Qt::Key_Left;
    case XKB_KEY_Right: case XKB_KEY_KP_Right: return Qt::Key_Right;
    case XKB_KEY_Up: case XKB_KEY_KP_Up: return Qt::Key_Up;
    case XKB_KEY_Down: case XKB_KEY_KP_Down: return Qt::Key_Down;
    case XKB_KEY_Page_Up: case XKB_KEY_KP_Page_Up: return Qt::Key_PageUp;
    case XKB_KEY_Page_Down: case XKB_KEY_KP_Page_Down: return Qt::Key_PageDown;
    case XKB_KEY_Shift_L: case XKB_KEY_Shift_R: return Qt::Key_Shift;
    case XKB_KEY_Control_L: case XKB_KEY_Control_R: return Qt::Key_Control;
    case XKB_KEY_Alt_L: case XKB_KEY_Alt_R: return Qt::Key_Alt;
    case XKB_KEY_Meta_L: case XKB_KEY_Meta_R: return Qt::Key_Meta;
    case XKB_KEY_Super_L: return Qt::Key_Super_L;
    case XKB_KEY_Super_R: return Qt::Key_Super_R;
    case XKB_KEY_Caps_Lock: return Qt::Key_CapsLock;
    case XKB_KEY_Num_Lock: return Qt::Key_NumLock;
    case XKB_KEY_Menu: return Qt::Key_Menu;
    case XKB_KEY_ISO_Level3_Shift: return Qt::Key_AltGr;
    default: break;
    }
    // A character key is known by its character, upper case for letters.
    const std::uint32_t character = xkb_keysym_to_utf32(keysym);
    if (character == 0) return Qt::Key_unknown;
    if (character > 0xFFFF) return static_cast<int>(character);
    return QChar(static_cast<char16_t>(character)).toUpper().unicode();
}

Qt::KeyboardModifiers qtModifiers(std::uint32_t state, std::uint32_t keysym) {
    Qt::KeyboardModifiers modifiers;
    if (state & kShift) modifiers |= Qt::ShiftModifier;
    if (state & kControl) modifiers |= Qt::ControlModifier;
    if (state & kMod1) modifiers |= Qt::AltModifier;
    if (state & kMod4) modifiers |= Qt::MetaModifier;
    if (keysym >= XKB_KEY_KP_Space && keysym <= XKB_KEY_KP_9) modifiers |= Qt::KeypadModifier;
    return modifiers;
}

// A press that does nothing but put its text at the cursor: printable text,
// no Control, Alt or Super (what a level shift such as AltGr gives is the
// key's own text).
bool addsTextOnly(const platform::HeldKeyEvent& key) {
    if (!key.press || key.text.empty() || (key.state & (kControl | kMod1 | kMod4)) != 0) return false;
    const QString text = QString::fromUtf8(key.text.data(), static_cast<qsizetype>(key.text.size()));
    for (const char32_t character : text.toUcs4())
        if (!QChar::isPrint(character)) return false;
    return true;
}

// The text of a run of such presses, waiting to go into its field at once.
class TextRun {
public:
    // Whether `target` takes runs: a text field that can be typed into.
    static QTextEdit* field(QWidget* target) {
        auto* edit = qobject_cast<QTextEdit*>(target);
        return edit && !edit->isReadOnly() ? edit : nullptr;
    }
    void add(QTextEdit* field, const std::string& text) {
        if (field != field_) flush();
        field_ = field;
        text_ += QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    }
    bool pending() const { return !text_.isEmpty(); }
    // Inserts the run where the field's cursor is, as its keys would have.
    void flush() {
        if (field_ && !text_.isEmpty()) {
            QTextCursor cursor = field_->textCursor();
            cursor.insertText(text_);
            field_->setTextCursor(cursor);
            field_->ensureCursorVisible();
        }
        text_.clear();
    }

private:
    QPointer<QTextEdit> field_;
    QString text_;
};

const char* toolkitLocale() {
    for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"})
        if (const char* value = std::getenv(name); value && *value) return value;
    return "C";
}

// One compose table per locale, read once (reading one parses a file of
// thousands of sequences) and kept for the program's life.
xkb_compose_table* composeTable() {
    struct Tables {
        xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
        std::map<std::string, xkb_compose_table*> byLocale;
        ~Tables() {
            for (auto& [locale, table] : byLocale) xkb_compose_table_unref(table);
            xkb_context_unref(context);
        }
    };
    static Tables tables;
    if (!tables.context) return nullptr;
    const std::string locale = toolkitLocale();
    const auto it = tables.byLocale.find(locale);
    if (it != tables.byLocale.end()) return it->second;
    xkb_compose_table* table =
        xkb_compose_table_new_from_locale(tables.context, locale.c_str(), XKB_COMPOSE_COMPILE_NO_FLAGS);
    tables.byLocale.emplace(locale, table);
    return table;
}

}  // namespace

bool isModifier(std::uint32_t keysym) {
    return (keysym >= XKB_KEY_Shift_L && keysym <= XKB_KEY_Hyper_R) ||
           (keysym >= XKB_KEY_ISO_Lock && keysym <= XKB_KEY_ISO_Last_Group_Lock) || keysym == XKB_KEY_Mode_switch ||
           keysym == XKB_KEY_Num_Lock;
}

Composer::Composer() = default;

Composer::~Composer() {
    if (state_) xkb_compose_state_unref(state_);
}

Composer::Outcome Composer::feed(std::uint32_t keysym, std::string& text) {
    // Made with the first key, not with every panel: the table is read then.
    if (!state_ && !tried_) {
        tried_ = true;
        if (xkb_compose_table* table = composeTable()) state_ = xkb_compose_state_new(table, XKB_COMPOSE_STATE_NO_FLAGS);
    }
    if (!state_ || xkb_compose_state_feed(state_, keysym) == XKB_COMPOSE_FEED_IGNORED) return Outcome::plain;
    switch (xkb_compose_state_get_status(state_)) {
    case XKB_COMPOSE_COMPOSING: return Outcome::swallowed;
    case XKB_COMPOSE_CANCELLED: xkb_compose_state_reset(state_); return Outcome::swallowed;
    case XKB_COMPOSE_COMPOSED: {
        char buffer[64] = {};
        const int size = xkb_compose_state_get_utf8(state_, buffer, sizeof buffer);
        text.assign(buffer, size > 0 && static_cast<std::size_t>(size) < sizeof buffer ? static_cast<std::size_t>(size) : 0);
        xkb_compose_state_reset(state_);
        return Outcome::composed;
    }
    case XKB_COMPOSE_NOTHING: break;
    }
    return Outcome::plain;
}

bool Composer::composing() const {
    return state_ && xkb_compose_state_get_status(state_) == XKB_COMPOSE_COMPOSING;
}

void Composer::reset() {
    if (state_) xkb_compose_state_reset(state_);
}

std::unique_ptr<QKeyEvent> eventFor(const platform::HeldKeyEvent& key, bool autoRepeat) {
    auto event = std::make_unique<QKeyEvent>(
        key.press ? QEvent::KeyPress : QEvent::KeyRelease, qtKey(key.keysym), qtModifiers(key.state, key.keysym),
        key.keyCode, key.keysym, key.state, QString::fromUtf8(key.text.data(), static_cast<qsizetype>(key.text.size())),
        autoRepeat);
    event->setTimestamp(key.time);
    return event;
}

void replay(QWidget* window, std::span<const platform::HeldKeyEvent> keys, Composer& composer,
            const std::function<bool(const platform::HeldKeyEvent&)>& isShortcut) {
    const QPointer<QWidget> guard(window);
    std::set<std::uint32_t> down;
    // Keys whose press went into a run or into a sequence: their releases
    // do nothing.
    std::set<std::uint32_t> typedOnly;
    TextRun run;
    for (platform::HeldKeyEvent key : keys) {
        if (!guard || !guard->isVisible()) return;  // Escape or Return closed it
        QWidget* focus = QApplication::focusWidget();
        QWidget* target = focus && guard->isAncestorOf(focus) ? focus : guard.data();
        QTextEdit* field = TextRun::field(target);
        const bool shortcut = key.press && isShortcut && isShortcut(key);
        if (shortcut) {
            // The sequence open is dropped, here and in the toolkit's input.
            composer.reset();
            if (QInputMethod* input = QGuiApplication::inputMethod()) input->reset();
        } else if (key.press) {
            std::string composed;
            const auto outcome = composer.feed(key.keysym, composed);
            if (outcome == Composer::Outcome::swallowed) {
                typedOnly.insert(key.keyCode);
                continue;
            }
            if (outcome == Composer::Outcome::composed) key.text = std::move(composed);
        }
        const bool repeat = key.press && !down.insert(key.keyCode).second;
        if (key.press) typedOnly.erase(key.keyCode);
        if (!key.press) down.erase(key.keyCode);
        if (field && !shortcut && addsTextOnly(key)) {
            run.add(field, key.text);
            typedOnly.insert(key.keyCode);
            continue;
        }
        if (!key.press && typedOnly.erase(key.keyCode) > 0) continue;
        // A modifier changes no text: the run goes on past it.
        if (!isModifier(key.keysym)) run.flush();
        const auto event = eventFor(key, repeat);
        QApplication::sendEvent(target, event.get());
    }
    run.flush();
}

}  // namespace desktop::held_keys
