// The compact path display.
#include "ui/qt/compact_path.h"

#include <QLabel>
#include <QLineEdit>
#include <QTextDocument>
#include <QVariant>

#include "platform/file_system.h"

namespace tokiren::ui {
namespace {

constexpr double kUsableWidth = 0.97;
const QString kEllipsis = QStringLiteral("...");

// Keeps `count` characters of `text` from its start, never splitting a surrogate pair.
QString Head(const QString& text, qsizetype count) {
  if (count > 0 && count < text.size() && text.at(count).isLowSurrogate()) --count;
  return text.left(count);
}

// The largest n in [0, limit] for which fits(n) holds, given that fits is monotonic.
template <typename Fits>
qsizetype LongestFitting(qsizetype limit, Fits fits) {
  qsizetype low = 0, high = limit;
  while (low < high) {
    const qsizetype middle = (low + high + 1) / 2;
    if (fits(middle)) {
      low = middle;
    } else {
      high = middle - 1;
    }
  }
  return low;
}

// A tool tip holding `text` as written. Qt takes a tip that looks like markup for rich text (a
// folder may be called "<b>2016"): such a text goes as markup of its own, escaped, its blanks kept
// and on one line, as a plain tip shows.
QString ToolTipOf(const QString& text) {
  if (!Qt::mightBeRichText(text)) return text;
  return QStringLiteral("<p style=\"white-space:pre\">") + text.toHtmlEscaped() +
         QStringLiteral("</p>");
}

}  // namespace

QString CompactPath(const QString& path, const QFontMetrics& metrics, int width) {
  const auto fits = [&](const QString& text) { return metrics.horizontalAdvance(text) <= width; };
  if (fits(path)) return path;

  const QChar separator = QLatin1Char(kPathSeparator);
  qsizetype nameEnd = path.size();
  if (nameEnd > 0 && path.at(nameEnd - 1) == separator) --nameEnd;
  const qsizetype tailStart = nameEnd > 0 ? path.lastIndexOf(separator, nameEnd - 1) : -1;
  const QString tail = tailStart >= 0 ? path.mid(tailStart) : path;
  const QString head = tailStart >= 0 ? path.left(tailStart) : QString();

  if (fits(kEllipsis + tail)) {
    const qsizetype kept = LongestFitting(head.size(), [&](qsizetype n) {
      return fits(Head(head, n) + kEllipsis + tail);
    });
    return Head(head, kept) + kEllipsis + tail;
  }
  const qsizetype kept = LongestFitting(tail.size(), [&](qsizetype n) {
    return fits(kEllipsis + Head(tail, n) + kEllipsis);
  });
  return kEllipsis + Head(tail, kept) + kEllipsis;
}

void CompactPathDisp(QWidget* ctl, const QString& path, int flags) {
  ctl->setProperty("tag", path);
  const int width = qRound(ctl->width() * kUsableWidth);
  const QString shown = (flags & kPathEllipsis)
                            ? CompactPath(path, QFontMetrics(ctl->window()->font()), width)
                            : path;
  if (auto* box = qobject_cast<QLineEdit*>(ctl)) {
    box->setText(shown);
  } else if (auto* label = qobject_cast<QLabel*>(ctl)) {
    label->setText(shown);
  }
  if (ctl->property("tag").toString() != shown) ctl->setToolTip(ToolTipOf(path));
}

}  // namespace tokiren::ui
