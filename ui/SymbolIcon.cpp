#include "ui/SymbolIcon.h"

#include <QAbstractButton>
#include <QPainter>
#include <QPainterPathStroker>
#include <QRectF>
#include <QTransform>
#include <QWidget>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <mutex>
#include <numbers>
#include <set>

#include "platform/Logger.h"

namespace ui {
namespace {

constexpr qreal grid = 24.0;

// Building blocks: strokes become filled outlines, so every symbol is one
// path filled with one colour, and "fill" variants cut their inner marks out
// of a solid shape instead of painting them in a second colour.
QPainterPath stroked(const QPainterPath& path, qreal width) {
    QPainterPathStroker stroker;
    stroker.setWidth(width);
    stroker.setCapStyle(Qt::RoundCap);
    stroker.setJoinStyle(Qt::RoundJoin);
    return stroker.createStroke(path).simplified();
}

QPainterPath polyline(std::initializer_list<QPointF> points) {
    QPainterPath path;
    auto it = points.begin();
    path.moveTo(*it);
    for (++it; it != points.end(); ++it) path.lineTo(*it);
    return path;
}

QPainterPath line(QPointF from, QPointF to, qreal width) { return stroked(polyline({from, to}), width); }

QPainterPath circle(QPointF centre, qreal radius) {
    QPainterPath path;
    path.addEllipse(centre, radius, radius);
    return path;
}

QPainterPath roundedRect(const QRectF& rect, qreal radius) {
    QPainterPath path;
    path.addRoundedRect(rect, radius, radius);
    return path;
}

QPainterPath unite(std::initializer_list<QPainterPath> parts) {
    QPainterPath result;
    for (const auto& part : parts) result = result.united(part);
    return result;
}

QPainterPath mirrored(const QPainterPath& path) { return QTransform(-1, 0, 0, 1, grid, 0).map(path); }
QPainterPath flipped(const QPainterPath& path) { return QTransform(1, 0, 0, -1, 0, grid).map(path); }

QPainterPath arrowUp(qreal top, qreal bottom, qreal half, qreal width) {
    const qreal x = grid / 2;
    return unite({line({x, bottom}, {x, top}, width),
                  stroked(polyline({{x - half, top + half}, {x, top}, {x + half, top + half}}), width)});
}

QPainterPath chevronUp() { return stroked(polyline({{6, 15}, {12, 9}, {18, 15}}), 2.4); }

QPainterPath bubble(const QRectF& body, bool tailLeft) {
    QPainterPath path = roundedRect(body, 3.5);
    QPainterPath tail;
    const qreal x = tailLeft ? body.left() + 3 : body.right() - 3;
    const qreal dx = tailLeft ? -2.5 : 2.5;
    tail.moveTo(x, body.bottom() - 1);
    tail.lineTo(x + dx, body.bottom() + 3);
    tail.lineTo(x + 3 * (tailLeft ? 1 : -1), body.bottom() - 1);
    tail.closeSubpath();
    return path.united(tail);
}

QPainterPath bubbles(bool filled) {
    const QPainterPath back = bubble(QRectF(9, 3, 13, 9), false);
    const QPainterPath front = bubble(QRectF(2, 9, 13, 9), true);
    if (filled) {
        // The front bubble sits on the back one with a gap around it.
        return back.subtracted(stroked(front, 3.0).united(front)).united(front);
    }
    const QPainterPath frontOutline = stroked(front, 1.6);
    return stroked(back, 1.6).subtracted(front).united(frontOutline);
}

QPainterPath eye() {
    QPainterPath almond;
    almond.moveTo(1.5, 12);
    almond.cubicTo(5, 5.5, 19, 5.5, 22.5, 12);
    almond.cubicTo(19, 18.5, 5, 18.5, 1.5, 12);
    almond.closeSubpath();
    return almond.subtracted(circle({12, 12}, 4.4)).united(circle({12, 12}, 2.7));
}

QPainterPath quoteLines(qreal barX, qreal left, qreal right) {
    return unite({line({barX, 5}, {barX, 19}, 2.2), line({left, 7}, {right, 7}, 2), line({left, 12}, {right, 12}, 2),
                  line({left, 17}, {left + (right - left) * 0.6, 17}, 2)});
}

QPainterPath keyFill() {
    const QPainterPath head = circle({7.5, 12}, 5).subtracted(circle({6.5, 12}, 1.8));
    const QPainterPath shaft = roundedRect(QRectF(11, 10.5, 11, 3), 0.8);
    const QPainterPath teeth = unite({roundedRect(QRectF(16.5, 12, 2, 4.5), 0.5), roundedRect(QRectF(19.8, 12, 2, 3.5), 0.5)});
    return unite({head, shaft, teeth});
}

QPainterPath cpuFill() {
    QPainterPath pins;
    for (qreal p : {9.0, 12.0, 15.0}) {
        pins = unite({pins, line({p, 2.5}, {p, 5}, 1.6), line({p, 19}, {p, 21.5}, 1.6), line({2.5, p}, {5, p}, 1.6),
                      line({19, p}, {21.5, p}, 1.6)});
    }
    const QPainterPath chip = roundedRect(QRectF(5, 5, 14, 14), 2.5).subtracted(roundedRect(QRectF(8.5, 8.5, 7, 7), 1));
    return unite({chip, roundedRect(QRectF(10, 10, 4, 4), 0.6), pins});
}

QPainterPath keyboardFill() {
    QPainterPath keys;
    for (int row = 0; row < 2; ++row)
        for (int col = 0; col < 6; ++col)
            keys.addRect(QRectF(4.2 + col * 2.8, 8 + row * 2.8, 1.8, 1.8));
    keys.addRoundedRect(QRectF(7, 14, 10, 1.8), 0.6, 0.6);
    return roundedRect(QRectF(1.5, 5.5, 21, 13), 2.5).subtracted(keys);
}

QPainterPath clockFill() {
    const QPainterPath hands = unite({line({12, 12}, {12, 6}, 2), line({12, 12}, {16, 14.5}, 2)});
    return circle({12, 12}, 10).subtracted(hands);
}

QPainterPath trash() {
    return unite({line({4, 6}, {20, 6}, 1.8), stroked(polyline({{9, 6}, {9.5, 3.5}, {14.5, 3.5}, {15, 6}}), 1.6),
                  stroked(polyline({{6, 6}, {7, 20.5}, {17, 20.5}, {18, 6}}), 1.8), line({10, 10}, {10, 17}, 1.5),
                  line({14, 10}, {14, 17}, 1.5)});
}

QPainterPath xmark(qreal inset, qreal width) {
    return unite({line({inset, inset}, {grid - inset, grid - inset}, width),
                  line({grid - inset, inset}, {inset, grid - inset}, width)});
}

QPainterPath docOnDoc() {
    const QRectF backRect(8.5, 2.5, 12, 14.5);
    const QRectF frontRect(3.5, 7, 12, 14.5);
    const QPainterPath front = roundedRect(frontRect, 2.2);
    return stroked(roundedRect(backRect, 2.2), 1.7).subtracted(front.united(stroked(front, 2.5))).united(stroked(front, 1.7));
}

QPainterPath shield() {
    QPainterPath path;
    path.moveTo(12, 2);
    path.lineTo(20, 5);
    path.lineTo(20, 11);
    path.cubicTo(20, 16, 16.5, 20, 12, 22);
    path.cubicTo(7.5, 20, 4, 16, 4, 11);
    path.lineTo(4, 5);
    path.closeSubpath();
    return path;
}

QPainterPath lockShield() {
    QPainterPath shackle;
    shackle.moveTo(10, 11.5);
    shackle.lineTo(10, 9.5);
    shackle.arcTo(QRectF(10, 7.5, 4, 4), 180, -180);
    shackle.lineTo(14, 11.5);
    return unite({stroked(shield(), 1.7), roundedRect(QRectF(8.5, 11, 7, 5.5), 1), stroked(shackle, 1.5)});
}

QPainterPath questionMark() {
    QPainterPath hook;
    hook.moveTo(9.2, 9.5);
    hook.arcTo(QRectF(9.2, 6.2, 5.6, 5.6), 180, -240);
    hook.cubicTo(13, 12.8, 12, 13, 12, 14.6);
    return unite({stroked(hook, 2), circle({12, 17.6}, 1.25)});
}

QPainterPath micShape() {
    QPainterPath cradle;
    cradle.moveTo(6, 11);
    cradle.arcTo(QRectF(6, 5, 12, 12), 180, 180);
    return unite({stroked(roundedRect(QRectF(9, 2.5, 6, 11), 3), 1.8), stroked(cradle, 1.8), line({12, 17}, {12, 20.5}, 1.8),
                  line({9, 20.5}, {15, 20.5}, 1.8)});
}

QPainterPath magnifyingGlass() {
    return unite({stroked(circle({10.5, 10.5}, 6.2), 2.2), line({15.2, 15.2}, {20.5, 20.5}, 2.8)});
}

QPainterPath eyeSlash() {
    const QPainterPath slash = polyline({{4, 3.5}, {20, 20.5}});
    return eye().subtracted(stroked(slash, 4.2)).united(stroked(slash, 2));
}

// A quill: a feather with its shaft cut out of the vane, and the nib.
QPainterPath quill() {
    QPainterPath vane;
    vane.moveTo(21, 2.5);
    vane.cubicTo(13.5, 3.5, 8, 8.5, 6.2, 15.8);
    vane.lineTo(8.2, 17.8);
    vane.cubicTo(15.5, 16, 20.5, 10.5, 21, 2.5);
    vane.closeSubpath();
    const QPainterPath shaft = polyline({{3, 21}, {17, 7}});
    return vane.subtracted(stroked(shaft, 2.2)).united(stroked(polyline({{3, 21}, {12.5, 11.5}}), 1.6));
}

// Provider images: plain marks of our own, one colour, readable at 12 px.
QPainterPath openaiMark() {
    QPainterPath petals;
    for (int i = 0; i < 6; ++i) {
        QPainterPath petal;
        petal.addEllipse(QPointF(12, 7.8), 3.4, 5.2);
        petals = petals.united(stroked(QTransform().translate(12, 12).rotate(60.0 * i).translate(-12, -12).map(petal), 1.5));
    }
    return petals;
}

QPainterPath claudeMark() {
    QPainterPath rays;
    for (int i = 0; i < 12; ++i) {
        const qreal angle = i * std::numbers::pi / 6;
        const qreal length = (i % 2 == 0) ? 10 : 7.5;
        rays = rays.united(line({12 + 2.5 * std::cos(angle), 12 + 2.5 * std::sin(angle)},
                                {12 + length * std::cos(angle), 12 + length * std::sin(angle)}, 2.1));
    }
    return rays.united(circle({12, 12}, 2.8));
}

QPainterPath geminiMark() {
    QPainterPath star;
    star.moveTo(12, 1.5);
    star.cubicTo(12.8, 7.8, 16.2, 11.2, 22.5, 12);
    star.cubicTo(16.2, 12.8, 12.8, 16.2, 12, 22.5);
    star.cubicTo(11.2, 16.2, 7.8, 12.8, 1.5, 12);
    star.cubicTo(7.8, 11.2, 11.2, 7.8, 12, 1.5);
    star.closeSubpath();
    return star;
}

QPainterPath ollamaMark() {
    const QPainterPath head = unite({roundedRect(QRectF(6.5, 8, 11, 14), 5.5), roundedRect(QRectF(7.5, 1.5, 3.2, 9), 1.6),
                                     roundedRect(QRectF(13.3, 1.5, 3.2, 9), 1.6)});
    QPainterPath snout;
    snout.addEllipse(QPointF(12, 16.8), 3, 2.2);
    const QPainterPath face = unite({circle({9.8, 12.6}, 1.1), circle({14.2, 12.6}, 1.1), stroked(snout, 1.2)});
    return stroked(head, 1.6).united(face);
}

struct Symbol {
    std::string_view name;
    QPainterPath (*make)();
};

const std::array<Symbol, 30> symbols{{
    {"app.fill", [] { return roundedRect(QRectF(3, 3, 18, 18), 5); }},
    {"arrow.down.circle.fill", [] { return flipped(circle({12, 12}, 10).subtracted(arrowUp(7, 17, 4.2, 2.2))); }},
    {"arrow.up", [] { return arrowUp(4.5, 19.5, 6.5, 2.4); }},
    {"arrow.up.circle.fill", [] { return circle({12, 12}, 10).subtracted(arrowUp(7, 17, 4.2, 2.2)); }},
    {"bubble.left.and.bubble.right", [] { return bubbles(false); }},
    {"bubble.left.and.bubble.right.fill", [] { return bubbles(true); }},
    {"checkmark", [] { return stroked(polyline({{5, 12.5}, {10, 17.5}, {19, 6.5}}), 2.4); }},
    {"chevron.down", [] { return flipped(chevronUp()); }},
    {"chevron.up", chevronUp},
    {"claude", claudeMark},
    {"clock.fill", clockFill},
    {"cpu.fill", cpuFill},
    {"doc.on.doc", docOnDoc},
    {"eye.fill", eye},
    {"eye.slash.fill", eyeSlash},
    {"gemini", geminiMark},
    {"key.fill", keyFill},
    {"keyboard.fill", keyboardFill},
    {"lock.shield", lockShield},
    {"magnifyingglass", magnifyingGlass},
    {"menubar-icon", quill},
    {"mic", micShape},
    {"ollama", ollamaMark},
    {"openai", openaiMark},
    {"plus", [] { return unite({line({12, 4.5}, {12, 19.5}, 2.2), line({4.5, 12}, {19.5, 12}, 2.2)}); }},
    {"questionmark.circle", [] { return stroked(circle({12, 12}, 10), 1.7).united(questionMark()); }},
    {"text.quote", [] { return quoteLines(4, 8, 20); }},
    {"text.quote.rtl", [] { return mirrored(quoteLines(4, 8, 20)); }},
    {"trash", trash},
    {"xmark.circle.fill", [] { return circle({12, 12}, 10).subtracted(xmark(8, 2.2)); }},
}};

const Symbol* find(std::string_view name) {
    const auto it = std::find_if(symbols.begin(), symbols.end(), [&](const Symbol& s) { return s.name == name; });
    return it == symbols.end() ? nullptr : &*it;
}

void reportUnknown(std::string_view name) {
    static std::mutex mutex;
    static std::set<std::string, std::less<>> reported;
    const std::lock_guard lock(mutex);
    if (reported.insert(std::string(name)).second)
        platform::Logger("Quillary", "ui").error("unknown symbol \"" + std::string(name) + "\"");
}

}  // namespace

bool SymbolIcon::has(std::string_view name) { return find(name) != nullptr; }

std::vector<std::string> SymbolIcon::names() {
    std::vector<std::string> result;
    for (const auto& symbol : symbols) result.emplace_back(symbol.name);
    return result;
}

QPainterPath SymbolIcon::path(std::string_view name) {
    const Symbol* symbol = find(name);
    if (!symbol) {
        reportUnknown(name);
        return {};
    }
    // The outlines come from boolean path operations, which take a while:
    // each is built once and shared (QPainterPath copies share their data).
    static std::mutex mutex;
    static std::map<std::string_view, QPainterPath> built;
    const std::lock_guard lock(mutex);
    auto it = built.find(symbol->name);
    if (it == built.end()) it = built.emplace(symbol->name, symbol->make()).first;
    return it->second;
}

void SymbolIcon::paint(QPainter& painter, const QRectF& rect, std::string_view name, const QColor& colour) {
    const QPainterPath outline = path(name);
    if (outline.isEmpty() || rect.isEmpty()) return;
    const qreal scale = std::min(rect.width(), rect.height()) / grid;
    const QPointF origin = rect.center() - QPointF(grid * scale / 2, grid * scale / 2);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(origin);
    painter.scale(scale, scale);
    painter.fillPath(outline, colour);
    painter.restore();
}

QPixmap SymbolIcon::pixmap(std::string_view name, int pixelSize, const QColor& colour, qreal devicePixelRatio) {
    const int side = std::max(1, static_cast<int>(std::ceil(pixelSize * devicePixelRatio)));
    QPixmap pixmap(side, side);
    pixmap.fill(Qt::transparent);
    {
        QPainter painter(&pixmap);
        paint(painter, QRectF(0, 0, side, side), name, colour);
    }
    pixmap.setDevicePixelRatio(devicePixelRatio);
    return pixmap;
}

QIcon SymbolIcon::icon(std::string_view name, int pixelSize, const QColor& colour) {
    if (!has(name)) {
        reportUnknown(name);
        return {};
    }
    QIcon icon;
    for (qreal ratio : {1.0, 2.0}) {
        const QPixmap normal = pixmap(name, pixelSize, colour, ratio);
        icon.addPixmap(normal, QIcon::Normal);
        QColor dimmed = colour;
        dimmed.setAlphaF(colour.alphaF() * 0.4f);
        icon.addPixmap(pixmap(name, pixelSize, dimmed, ratio), QIcon::Disabled);
    }
    return icon;
}

void SymbolIcon::apply(QAbstractButton& button, std::string_view name, const QColor& colour, int pixelSize) {
    button.setIcon(icon(name, pixelSize, colour));
    button.setIconSize(QSize(pixelSize, pixelSize));
    tag(button, name);
}

void SymbolIcon::tag(QWidget& widget, std::string_view name) {
    widget.setProperty(property, QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
}

QString SymbolIcon::nameOf(const QWidget& widget) { return widget.property(property).toString(); }

}  // namespace ui
