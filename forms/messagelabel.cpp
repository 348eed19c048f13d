#include "forms/messagelabel.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPainter>
#include <QTextBoundaryFinder>
#include <algorithm>
#include <array>
#include <optional>
#include <string_view>

namespace {

// Outlines are taken at this size and scaled, as for the time.
constexpr int kReferencePixels = 200;
// The share of the band's width and of its height kept clear on each side of the ink.
constexpr qreal kMarginShare = 0.04;

// The projector's font lists a Latin face first, for the time's digits, and the gothic face after
// it for the kanji. A message drawn in that list took its digits and Latin letters from the one
// and its kana and kanji from the other: the Latin face has a bold and the gothic face none (nor
// does Qt thicken its outlines), so "3分" showed a bold 3 beside kana of regular weight. The first
// face of the list that has Japanese draws the whole message instead; it has Latin letters and
// digits too. Font merging stays on: for a character that face lacks (an emoji, a rare kanji) Qt
// still borrows another face's glyph, which beats an empty box on the projector.
QFont singleFace(const QFont &font)
{
    QStringList families = font.families();
    if (!families.contains(font.family()))
        families.prepend(font.family());
    for (const QString &family : std::as_const(families)) {
        if (QFontDatabase::writingSystems(family).contains(QFontDatabase::Japanese)) {
            QFont face = font;
            face.setFamilies({family});
            return face;
        }
    }
    return font; // no Japanese face installed: whatever Qt finds for each script
}

enum class Kind { Hiragana, Katakana, Kanji, LatinOrDigit, Other };

Kind kindOf(char32_t c)
{
    if (QChar::isDigit(c))
        return Kind::LatinOrDigit;
    if (c == U'ー') // written in the script of its word, in practice katakana
        return Kind::Katakana;
    switch (QChar::script(c)) {
    case QChar::Script_Hiragana:
        return Kind::Hiragana;
    case QChar::Script_Katakana:
        return Kind::Katakana;
    case QChar::Script_Han:
        return Kind::Kanji;
    case QChar::Script_Latin:
        return QChar::isLetter(c) ? Kind::LatinOrDigit : Kind::Other;
    default:
        return Kind::Other;
    }
}

char32_t codePointBefore(QStringView text, qsizetype at)
{
    if (at >= 2 && text[at - 1].isLowSurrogate() && text[at - 2].isHighSurrogate())
        return QChar::surrogateToUcs4(text[at - 2], text[at - 1]);
    return text[at - 1].unicode();
}

char32_t codePointAt(QStringView text, qsizetype at)
{
    if (at + 1 < text.size() && text[at].isHighSurrogate() && text[at + 1].isLowSurrogate())
        return QChar::surrogateToUcs4(text[at], text[at + 1]);
    return text[at].unicode();
}

// Where a line may end in Japanese: not before a closing mark, not after an opening one.
bool mayBreakBetween(QChar before, QChar after)
{
    static const QString noStart =
        QStringLiteral("、。，．・：；？！）」』】〕〉》”’ーぁぃぅぇぉっゃゅょァィゥェォッャュョ,.:;?!)]}");
    static const QString noEnd = QStringLiteral("（「『【〔〈《“‘([{");
    return !noStart.contains(after) && !noEnd.contains(before);
}

bool isParticle(QChar c)
{
    return QStringView(u"はがをにでとへもの").contains(c);
}

// Whether a phrase ends at `at`: after a particle or an ending that closes a clause, or where a
// word in kanji, katakana or Latin letters begins after kana. A particle's character inside a run
// of hiragana is mostly just a syllable (まとめ, おねがい), so it counts only right after a word
// written otherwise (分で, 声が, Zoomの), alone or as a pair (では, にも) that breaks after its
// second.
bool endsPhrase(QStringView text, qsizetype at)
{
    const QChar next = text[at];
    qsizetype start = at;
    while (start > 0 && at - start < 2 && isParticle(text[start - 1]))
        --start;
    if (start < at && start > 0 && !isParticle(next)) {
        const Kind word = kindOf(codePointBefore(text, start));
        // で before す, し or き is the copula (です, でした) or できる, not a particle.
        const bool copula = text[at - 1] == u'で' && QStringView(u"すしき").contains(next);
        if (word != Kind::Hiragana && word != Kind::Other && !copula)
            return true;
    }
    // A request often follows a reason, a statement or a condition with no comma between (…ので
    // まとめて…, 時間です まとめて…, …たら お知らせ…), in hiragana the particles above pass over:
    // such an ending closes a phrase too, unless the sentence goes on (ですか, ますが, からは, ましたら
    // breaks after its たら).
    static const QStringView closers[] = {u"ので", u"から", u"です", u"ます", u"ました", u"でした", u"たら"};
    const QStringView head = text.left(at);
    if (!QStringView(u"はがをにでとへものかけしねよら").contains(next) &&
        std::any_of(std::begin(closers), std::end(closers), [&](QStringView c) { return head.endsWith(c); }))
        return true;
    const Kind before = kindOf(codePointBefore(text, at)), after = kindOf(codePointAt(text, at));
    // お and ご are the honorific prefix of the word they stand before (ご協力, お使い).
    const bool prefix = QStringView(u"おご").contains(text[at - 1]);
    return (before == Kind::Hiragana || before == Kind::Other) && after != Kind::Hiragana &&
           after != Kind::Other && !prefix;
}

// From the break a reader expects most to the one only Qt allows.
enum Rank { AtPunctuation, BetweenPhrases, BetweenWords, InsideKana, QtOnly, RankCount };

// A word in Latin letters or a number stays whole (Qt parts full-width ones anywhere, as it does
// kanji), and a number keeps the counter after it (3分, 10時, 2つ): either split reads as two words.
bool splitsWord(char32_t before, char32_t after)
{
    static constexpr std::u32string_view counters =
        U"分秒時日月年週人名回階番枚個本台件歳度割円点位号つヶケカか";
    return kindOf(before) == Kind::LatinOrDigit &&
           (kindOf(after) == Kind::LatinOrDigit ||
            (QChar::isDigit(before) && counters.find(after) != counters.npos));
}

Rank rankOf(QStringView text, qsizetype at)
{
    static const QString marks = QStringLiteral("、。，．！？,.!? 　");
    const char32_t before = codePointBefore(text, at), after = codePointAt(text, at);
    if (splitsWord(before, after) || !mayBreakBetween(text[at - 1], text[at]))
        return QtOnly;
    if (marks.contains(text[at - 1]))
        return AtPunctuation;
    if (endsPhrase(text, at))
        return BetweenPhrases;
    const auto kana = [](char32_t c) { return kindOf(c) == Kind::Hiragana || kindOf(c) == Kind::Katakana; };
    return kana(before) && kana(after) ? InsideKana : BetweenWords;
}

// A break after a comma, a full stop or a blank reads better than one between phrases, while it
// leaves the longer line no more than this much longer than the break it is preferred to.
constexpr qreal kPunctuationAllowance = 1.25;

// The two lines, broken at the best-ranked of Qt's line-break opportunities, and among those of
// one rank at the one that leaves the lines most nearly equal in width; of two as near, the later,
// whose first line is the longer (13時30分 / 再開, not 13時 / 30分再開).
QStringList twoLines(const QString &text, const QFont &font)
{
    const QFontMetricsF metrics(font);
    struct Break {
        QStringList lines;
        qreal width = 0;
    };
    std::array<std::optional<Break>, RankCount> best;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Line, text);
    for (qsizetype at = finder.toNextBoundary(); at > 0 && at < text.size(); at = finder.toNextBoundary()) {
        if (!(finder.boundaryReasons() & QTextBoundaryFinder::BreakOpportunity))
            continue;
        const QString first = text.left(at).trimmed(), second = text.mid(at).trimmed();
        if (first.isEmpty() || second.isEmpty())
            continue;
        const qreal width = std::max(metrics.horizontalAdvance(first), metrics.horizontalAdvance(second));
        if (auto &kept = best[rankOf(text, at)]; !kept || width <= kept->width)
            kept = Break{{first, second}, width};
    }
    const Break *other = nullptr; // the best that keeps words whole, punctuation aside
    for (std::size_t rank = BetweenPhrases; rank < QtOnly && !other; ++rank)
        other = best[rank] ? &*best[rank] : nullptr;
    if (const auto &mark = best[AtPunctuation];
        mark && (!other || mark->width <= other->width * kPunctuationAllowance))
        return mark->lines;
    if (other)
        return other->lines;
    return best[QtOnly] ? best[QtOnly]->lines : QStringList();
}

} // namespace

MessageLabel::Layout MessageLabel::layoutFor(const QStringList &lines, const QRectF &room) const
{
    const qreal spacing = QFontMetricsF(face_).lineSpacing();
    Layout layout;
    layout.lines = lines;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QPainterPath line;
        line.addText(0, static_cast<qreal>(i) * spacing, face_, lines[i]);
        // Each line centred on the first's middle.
        const QRectF ink = line.boundingRect();
        layout.outline.addPath(line.translated(-ink.center().x(), 0));
    }
    const QRectF ink = layout.outline.boundingRect();
    if (!ink.isEmpty() && !room.isEmpty())
        layout.scale = std::min(room.width() / ink.width(), room.height() / ink.height());
    return layout;
}

void MessageLabel::place()
{
    if (text() == placedText_ && font() == placedFont_ && band_ == placedBand_)
        return;
    placedText_ = text();
    placedFont_ = font();
    placedBand_ = band_;
    face_ = singleFace(font());
    face_.setPixelSize(kReferencePixels);
    const QRectF room =
        QRectF(band_).marginsRemoved(QMarginsF(band_.width() * kMarginShare, band_.height() * kMarginShare,
                                               band_.width() * kMarginShare, band_.height() * kMarginShare));
    Layout chosen = layoutFor({text()}, room);
    // Half of what the band's height alone would allow one line: below that, two lines read better.
    if (const QRectF ink = chosen.outline.boundingRect();
        !ink.isEmpty() && chosen.scale < room.height() / ink.height() / 2) {
        if (const QStringList two = twoLines(text(), face_); !two.isEmpty()) {
            if (Layout wrapped = layoutFor(two, room); wrapped.scale > chosen.scale)
                chosen = wrapped;
        }
    }
    lines_ = chosen.lines;
    outline_ = chosen.outline;
    scale_ = chosen.scale;
    origin_ = room.center() - outline_.boundingRect().center() * scale_ - band_.topLeft();
}

void MessageLabel::fillBand(const QRect &band)
{
    band_ = band;
    setGeometry(band);
    place();
    update();
}

void MessageLabel::setInkShown(bool shown)
{
    if (inkShown_ == shown)
        return;
    inkShown_ = shown;
    update();
}

void MessageLabel::paintEvent(QPaintEvent *)
{
    place();
    if (scale_ <= 0 || !inkShown_)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(palette().color(QPalette::WindowText));
    painter.translate(origin_);
    painter.scale(scale_, scale_);
    painter.drawPath(outline_);
}
