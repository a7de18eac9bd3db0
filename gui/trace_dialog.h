// The file dialog that Open and "Compare with…" ask for a trace with.
#pragma once

#include <QString>

class QFileDialog;
class QWidget;

// Makes the dialog: the trace files' filter, started in `folder`, wide
// enough for long names, shown in the middle ("…") so that two names that
// differ near their end can be told apart, and the other columns (size,
// type, "Date Modified") as wide as their contents.
QFileDialog* makeTraceDialog(QWidget* parent, const QString& caption, const QString& folder);

// Shows that dialog; the chosen path, or an empty text.
QString chooseTraceFile(QWidget* parent, const QString& caption, const QString& folder);
