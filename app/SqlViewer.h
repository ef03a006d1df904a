// Read-only statement viewers of the session window and the options dialog: the SQL editor in
// "Courier New", gutter hidden, context help on Ctrl+F1, coloured by one shared Oracle highlighter
// (comments grey, SQL*Plus words navy, strings green). The editor's own header cannot share a unit
// with the class library's standard controls, so the windows reach their editors through these.
#pragma once

#include <string>

class TCodeEdit;
class TCodeSQLHighlighter;
class TComponent;
class TPopupMenu;
class TStrings;
class TWinControl;

// The window's highlighter (Oracle dialect, default file filter "SQL Files (*.sql)|*.sql").
TCodeSQLHighlighter* NewSqlHighlighter(TComponent* Owner, const std::string& Name);
// A read-only viewer filling Parent, with that highlighter and popup menu (nullptr: none).
TCodeEdit* NewSqlViewer(TComponent* Owner, TWinControl* Parent, const std::string& Name,
                        TCodeSQLHighlighter* Highlighter, TPopupMenu* Popup);
// Replaces the whole text; the text as it stands; its lines.
void SetSqlViewerText(TCodeEdit* Viewer, const std::string& Text);
std::string SqlViewerText(TCodeEdit* Viewer);
TStrings* SqlViewerLines(TCodeEdit* Viewer);
// What an edit command of the viewer's popup menu sees: the selected text.
std::string SqlViewerSelText(TCodeEdit* Viewer);
