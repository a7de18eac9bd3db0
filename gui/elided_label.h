// ElidedLabel: a one-line label whose text is shortened in the middle
// ("…") to the width it is given, so that a long file name neither widens
// the window nor loses the end that tells two names apart.
#pragma once

#include <QLabel>
#include <QString>

class ElidedLabel : public QLabel {
  Q_OBJECT

 public:
  explicit ElidedLabel(QWidget* parent = nullptr);

  // The text to show, elided as the width requires.
  void setFullText(const QString& text);
  const QString& fullText() const { return full_; }

  // A width of its own text would become the window's minimum width.
  QSize minimumSizeHint() const override;
  QSize sizeHint() const override;

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void elide();

  QString full_;
};
