#include "gui/elided_label.h"

#include <QFontMetrics>
#include <QResizeEvent>

#include <algorithm>

ElidedLabel::ElidedLabel(QWidget* parent) : QLabel(parent) {
  setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  setTextFormat(Qt::PlainText);
}

void ElidedLabel::setFullText(const QString& text) {
  full_ = text;
  elide();
}

QSize ElidedLabel::minimumSizeHint() const {
  const QMargins margins = contentsMargins();
  return {margins.left() + margins.right() + fontMetrics().horizontalAdvance(QStringLiteral("…")),
          QLabel::minimumSizeHint().height()};
}

QSize ElidedLabel::sizeHint() const { return minimumSizeHint(); }

void ElidedLabel::resizeEvent(QResizeEvent* event) {
  QLabel::resizeEvent(event);
  elide();
}

void ElidedLabel::elide() {
  QLabel::setText(fontMetrics().elidedText(full_, Qt::ElideMiddle, std::max(0, contentsRect().width())));
}
