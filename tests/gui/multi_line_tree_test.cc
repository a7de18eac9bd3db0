// The outline tree control: measuring, caching of node heights, painting
// of coded captions and the change signal.
#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "gui/multi_line_tree.h"

namespace {

// Exact colours only survive rendering without antialiasing.
QFont testFont() {
  QFont font(QApplication::font());
  font.setPixelSize(13);
  font.setStyleStrategy(QFont::NoAntialias);
  return font;
}

int32_t widthOf(const CodedTextFonts& fonts, const char* caption) {
  int32_t width = 0;
  drawCodedText(nullptr, fonts, QRect(), caption, static_cast<int32_t>(std::strlen(caption)),
                QColor(), false, kTextCalcRect | kTextSingleLine, 0, width);
  return width;
}

int countPixels(const QImage& image, QColor colour) {
  int n = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      if (image.pixelColor(x, y).rgb() == colour.rgb()) ++n;
    }
  }
  return n;
}

// Draws one coded line into a white image.
QImage drawLine(const CodedTextFonts& fonts, const char* caption, QColor start, bool keepColour) {
  QImage image(400, 24, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  int32_t width = 0;
  drawCodedText(&painter, fonts, QRect(0, 0, 400, 24), caption,
                static_cast<int32_t>(std::strlen(caption)), start, keepColour, kTextSingleLine, 0,
                width);
  return image;
}

}  // namespace

class MultiLineTreeTest : public QObject {
  Q_OBJECT

 private slots:
  void measuresCodedTextLikeItsPlainRuns_data() {
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("plain");
    QTest::addColumn<int>("style");
    QTest::newRow("bold root") << "#10#Marrow trace" << "Marrow trace" << 1;
    QTest::newRow("navy block") << "#02#SEL$1" << "SEL$1" << 0;
    QTest::newRow("not codes") << "#8# #18# a#12" << "#8# #18# a#12" << -1;
    QTest::newRow("code at the end") << "abc#17#" << "abc" << -1;
    QTest::newRow("bold italic underline") << "#70#x" << "x" << 7;
  }
  void measuresCodedTextLikeItsPlainRuns() {
    QFETCH(QString, caption);
    QFETCH(QString, plain);
    QFETCH(int, style);
    const CodedTextFonts fonts(testFont());
    const QFontMetrics& metrics = style < 0 ? fonts.baseMetrics : fonts.metrics[style];
    QCOMPARE(widthOf(fonts, caption.toUtf8().constData()), metrics.horizontalAdvance(plain));
  }

  void mixedRunsAddUp() {
    const CodedTextFonts fonts(testFont());
    const int32_t expected = fonts.baseMetrics.horizontalAdvance("  ") +
                             fonts.metrics[0].horizontalAdvance("sql_id=abc");
    QCOMPARE(widthOf(fonts, "  #01#sql_id=abc"), expected);
  }

  void drawingColoursFollowTheCodes() {
    const CodedTextFonts fonts(testFont());
    const QColor navy(0, 0, 128), black(0, 0, 0), red(255, 0, 0);
    // Second-line start colour navy; the code switches to black.
    QImage image = drawLine(fonts, "  #01#sql_id=abc", navy, false);
    QVERIFY(countPixels(image, black) > 0);
    QCOMPARE(countPixels(image, navy), 0);  // the navy run is only blanks
    image = drawLine(fonts, "Join Order [2]: #07#- aborted", black, false);
    QVERIFY(countPixels(image, black) > 0);
    QVERIFY(countPixels(image, red) > 0);
    // keepColour: one colour for everything, codes' colours ignored.
    image = drawLine(fonts, "Join Order [2]: #07#- aborted", QColor(0, 0, 255), true);
    QCOMPARE(countPixels(image, red), 0);
    QVERIFY(countPixels(image, QColor(0, 0, 255)) > 0);
  }

  void drawingLeavesThePainterAsItWas() {
    const CodedTextFonts fonts(testFont());
    QImage image(200, 20, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setPen(QColor(1, 2, 3));
    painter.setBrush(QColor(4, 5, 6));
    painter.setFont(fonts.base);
    int32_t width = 0;
    drawCodedText(&painter, fonts, QRect(0, 0, 200, 20), "#17#x#74#y", 10, QColor(9, 9, 9), false,
                  kTextSingleLine, 0, width);
    QCOMPARE(painter.pen().color(), QColor(1, 2, 3));
    QCOMPARE(painter.brush().color(), QColor(4, 5, 6));
    QVERIFY(!painter.font().bold());
    QVERIFY(!painter.font().underline());
  }

  void nodeHeightIsSetOnlyWhenTheLinesChange() {
    MultiLineTree0 tree;
    tree.setFont(testFont());
    tree.setTextInset(2);
    tree.beginUpdate();
    const int32_t root = tree.addChild(kNoTreeNode);
    tree.item(root).lines[0].text = "#10#Marrow trace";
    tree.item(root).lines[1].text = "  #01#sql_id=5kb4y5n5akx5b";
    tree.item(root).lines[1].indent = 10;
    const int32_t empty = tree.addChild(root);
    const int32_t blankSecond = tree.addChild(root);
    tree.item(blankSecond).lines[0].text = "Explain Plan";
    tree.item(blankSecond).lines[1].text = "";  // an empty sql_id line
    tree.endUpdate();

    const int32_t lineHeight = tree.codedFonts().baseMetrics.height();
    bool heightSet = false;
    tree.measureItem(root, &heightSet);
    QVERIFY(heightSet);
    QCOMPARE(tree.nodeHeight(root), 2 * lineHeight + 4);
    QCOMPARE(tree.item(root).measuredHeight, 2 * lineHeight);
    tree.measureItem(root, &heightSet);
    QVERIFY(!heightSet);

    // No text at all: default height, width of the insets only.
    QCOMPARE(tree.measureItem(empty, &heightSet), 4);
    QVERIFY(!heightSet);
    QCOMPARE(tree.nodeHeight(empty), MultiLineTree0::kDefaultNodeHeight);

    tree.measureItem(blankSecond);
    QCOMPARE(tree.nodeHeight(blankSecond), lineHeight + 4);
    QCOMPARE(tree.item(blankSecond).lines[1].height, 0);
  }

  void linksAndLevels() {
    MultiLineTree0 tree;
    tree.beginUpdate();
    const int32_t a = tree.addChild(kNoTreeNode);
    const int32_t a1 = tree.addChild(a);
    const int32_t a2 = tree.addChild(a);
    const int32_t a21 = tree.addChild(a2);
    const int32_t b = tree.addChild(kNoTreeNode);
    tree.endUpdate();
    QCOMPARE(tree.firstTopLevel(), a);
    QCOMPARE(tree.nextSibling(a), b);
    QCOMPARE(tree.nextSibling(b), kNoTreeNode);
    QCOMPARE(tree.nextSibling(a1), a2);
    QCOMPARE(tree.level(a21), 2);
    QCOMPARE(tree.nodeOf(tree.indexOf(a21)), a21);
    QCOMPARE(tree.model()->rowCount(tree.indexOf(a)), 2);
    QCOMPARE(tree.model()->parent(tree.indexOf(a21)), tree.indexOf(a2));
    QVERIFY(!tree.indexOf(99).isValid());
  }

  void choosingANodeSignalsItsItem() {
    MultiLineTree0 tree;
    tree.beginUpdate();
    const int32_t a = tree.addChild(kNoTreeNode);
    const int32_t b = tree.addChild(a);
    tree.item(a).userIndex = 7;
    tree.item(b).userIndex = 8;
    tree.endUpdate();
    QList<int> chosen;
    QObject::connect(&tree, &MultiLineTree0::changed, [&](const MultiLineItem* item) {
      chosen.append(item != nullptr ? item->userIndex : -1);
    });
    tree.chooseNode(b);
    tree.chooseNode(a);
    QCOMPARE(chosen, (QList<int>{8, 7}));
  }

  void widerCaptionsScrollSideways_data() {
    QTest::addColumn<bool>("wideChild");
    QTest::newRow("a wide root") << false;
    QTest::newRow("a wide child shown by expanding") << true;
  }
  void widerCaptionsScrollSideways() {
    QFETCH(bool, wideChild);
    MultiLineTree0 tree;
    tree.setFont(testFont());
    tree.setTextInset(2);
    const std::string wide = "#10#" + std::string(60, 'W') + " end";
    tree.beginUpdate();
    const int32_t root = tree.addChild(kNoTreeNode);
    tree.item(root).lines[0].text = wideChild ? std::string_view("Marrow trace") : std::string_view(wide);
    const int32_t child = tree.addChild(root);
    tree.item(child).lines[0].text = wideChild ? std::string_view(wide) : std::string_view("Explain Plan");
    tree.item(child).lines[1].text = "  #01#sql_id=abc";
    tree.item(child).lines[1].indent = 10;
    tree.endUpdate();
    tree.resize(150, 200);
    tree.show();
    QVERIFY(QTest::qWaitForWindowExposed(&tree));
    if (wideChild) {
      QCOMPARE(tree.horizontalScrollBar()->maximum(), 0);  // nothing wider shown yet
      tree.expandNode(root);
    }
    const int32_t node = wideChild ? child : root;
    // The node's whole width, indent and margin included, is reachable.
    const int32_t needed =
        (tree.level(node) + 1) * MultiLineTree0::kIndent + tree.item(node).measuredWidth;
    QTRY_VERIFY(tree.horizontalScrollBar()->maximum() > 0);
    QVERIFY(tree.horizontalScrollBar()->maximum() + tree.viewport()->width() >= needed);
  }

  // The End key scrolls to the last node: the view needs the height of
  // every node above it, but only the shown nodes' widths.
  void scrollingToTheEndMeasuresOnlyWhatShows() {
    MultiLineTree0 tree;
    tree.setFont(testFont());
    tree.setTextInset(2);
    constexpr int32_t kRoots = 6000;
    std::vector<std::string> captions(kRoots);  // the tree shows them where they are
    tree.beginUpdate();
    for (int32_t n = 0; n < kRoots; ++n) {
      const int32_t root = tree.addChild(kNoTreeNode);
      captions[n] = "#10#Marrow trace " + std::to_string(n);
      tree.item(root).lines[0].text = captions[n];
      // Lines that end in another style, or carry none at all.
      if (n % 3 != 0) tree.item(root).lines[1].text = "  #01#sql_id=abc #30#end";
      if (n % 5 == 0) tree.item(root).lines[2].text = "plain";
      tree.item(root).lines[1].indent = 10;
    }
    tree.endUpdate();
    tree.resize(200, 300);
    tree.show();
    QVERIFY(QTest::qWaitForWindowExposed(&tree));
    tree.setFocus();
    tree.chooseNode(tree.firstTopLevel());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_End);
    QApplication::processEvents();
    const int32_t last = kRoots - 1;
    QCOMPARE(tree.nodeOf(tree.currentIndex()), last);
    QVERIFY(tree.visualRect(tree.indexOf(last)).intersects(tree.viewport()->rect()));
    int32_t measured = 0;
    for (int32_t node = 0; node < kRoots; ++node) measured += tree.isMeasured(node) ? 1 : 0;
    QVERIFY2(measured < 100, qPrintable(QString::number(measured)));
    // The heights found without measuring are the measured ones.
    for (int32_t node = 0; node < kRoots; ++node) {
      const int32_t height = tree.nodeHeight(node);
      bool heightSet = true;
      tree.measureItem(node, &heightSet);
      QVERIFY(!heightSet);
      QCOMPARE(tree.nodeHeight(node), height);
    }
  }

  void focusedNodeUsesTheHighlightColours() {
    MultiLineTree0 tree;
    tree.setFont(testFont());
    tree.setTextInset(2);
    QPalette palette = tree.palette();
    palette.setColor(QPalette::Highlight, QColor(10, 20, 30));
    palette.setColor(QPalette::HighlightedText, QColor(200, 210, 220));
    tree.setPalette(palette);
    tree.beginUpdate();
    const int32_t first = tree.addChild(kNoTreeNode);
    tree.item(first).lines[0].text = "Join Order [1]: #07#- aborted";
    const int32_t second = tree.addChild(kNoTreeNode);
    tree.item(second).lines[0].text = "#02#SEL$1";
    tree.endUpdate();
    tree.resize(300, 200);
    tree.show();
    QVERIFY(QTest::qWaitForWindowExposed(&tree));

    QImage image = tree.viewport()->grab().toImage();
    QVERIFY(countPixels(image, QColor(255, 0, 0)) > 0);
    QVERIFY(countPixels(image, QColor(0, 0, 128)) > 0);

    tree.chooseNode(first);
    image = tree.viewport()->grab().toImage();
    QCOMPARE(countPixels(image, QColor(255, 0, 0)), 0);
    QVERIFY(countPixels(image, QColor(10, 20, 30)) > 0);
    QVERIFY(countPixels(image, QColor(200, 210, 220)) > 0);
    QVERIFY(countPixels(image, QColor(0, 0, 128)) > 0);  // the other node keeps its code
  }
};

QTEST_MAIN(MultiLineTreeTest)
#include "multi_line_tree_test.moc"
