#include "report/report_page.h"

namespace {

// Small and plain, so the page reads well in a mail client that drops
// part of it; nothing loaded from elsewhere.
constexpr std::string_view kStyle =
    "body{font:14px/1.45 system-ui,-apple-system,'Segoe UI',sans-serif;color:#222;margin:1.5em auto;"
    "max-width:84em;padding:0 1em}"
    "h1{font-size:1.5em;margin-bottom:.2em}h2{font-size:1.25em;border-bottom:1px solid #ccd;margin-top:2em}"
    "h3{font-size:1.1em;margin-top:1.6em}h4{font-size:1em;margin:1.4em 0 .4em}"
    "table{border-collapse:collapse;margin:.4em 0 .8em}"
    "th,td{border:1px solid #dde;padding:2px 7px;text-align:left;vertical-align:top}"
    "th{background:#eef2f7;font-weight:600}td.w{overflow-wrap:anywhere;min-width:8em}td.nw{white-space:nowrap}td.paths{min-width:16em}"
    "td.n{text-align:right;font-variant-numeric:tabular-nums;white-space:nowrap}"
    "td.l,.l{color:#667;font-size:.9em;white-space:nowrap}"
    "pre{background:#f6f7f9;border:1px solid #e2e4e8;padding:.5em .7em;white-space:pre-wrap;"
    "overflow-wrap:anywhere;font-size:.92em}"
    "tr.top td{font-weight:600}tr.group th{background:#e2e9f2;text-align:left}"
    "tr.first td{background:#fff3d0}.flag{color:#a64b00}.meta{color:#556}.legend{color:#667;font-size:.85em}"
    "nav ul{margin:.3em 0;padding-left:1.4em}"
    "svg.map{max-width:100%;height:auto;border:1px solid #e2e4e8;background:#fff}"
    "svg.map text{font:11px sans-serif;fill:#445}svg.map .grid{stroke:#eef0f3}"
    "svg.map line{stroke:#99a}svg.map .axis{fill:none;stroke:#889}svg.map .best{fill:none;stroke-width:1.3}";

constexpr const char* kHeadings[] = {"h1", "h2", "h3", "h4", "h5", "h6"};

}  // namespace

void beginReportPage(HtmlWriter& html, std::string_view title) {
  html.markup("<!DOCTYPE html>\n");
  html.open("html", {{"lang", "en"}});
  html.open("head");
  html.voidElement("meta", {{"charset", "utf-8"}});
  html.voidElement("meta", {{"name", "viewport"}, {"content", "width=device-width, initial-scale=1"}});
  html.element("title", title);
  html.open("style");
  html.markup(kStyle);
  html.close();
  html.close();
  html.markup("\n");
  html.open("body");
}

void endReportPage(HtmlWriter& html) {
  html.open("footer", {{"class", "meta"}});
  html.text("Made by Marrow Viewer " ZAZOZAV_VERSION
            " from the trace text; every line number is a line of the trace file.");
  html.close();
  html.close();
  html.close();
  html.markup("\n");
}

void writeHeading(HtmlWriter& html, int level, std::string_view text, std::string_view id) {
  const char* tag = kHeadings[level < 1 ? 0 : level > 6 ? 5 : level - 1];
  if (id.empty()) {
    html.element(tag, text);
  } else {
    html.element(tag, text, {{"id", id}});
  }
}

std::string lineText(int32_t line) { return line > 0 ? "line " + std::to_string(line) : std::string(); }

void lineCell(HtmlWriter& html, int32_t line) {
  html.open("td", {{"class", "l"}});
  if (line > 0) {
    html.number(line);
  } else {
    html.text("\u2013");
  }
  html.close();
}

void spanText(HtmlWriter& html, const TraceFacts& facts, TextSpan span) {
  const std::string_view text = facts.view(span);
  html.text(text.empty() ? std::string_view("\u2013") : text);
}

void spanCell(HtmlWriter& html, const TraceFacts& facts, TextSpan span, bool numeric) {
  if (numeric) {
    html.open("td", {{"class", "n"}});
  } else {
    html.open("td");
  }
  spanText(html, facts, span);
  html.close();
}
