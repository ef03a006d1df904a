// Read-only statement viewers of the session window: the SQL editor in
// "Courier New", gutter hidden, context help on Ctrl+F1, coloured by one shared Oracle highlighter
// (comments grey, SQL*Plus words navy, strings green).
#pragma once

#include <string>

class TCodeEdit;
class TCodeSQLHighlighter;
class TComponent;
class TPopupMenu;
class TWinControl;

// The window's highlighter (Oracle dialect, default file filter "SQL Files (*.sql)|*.sql").
TCodeSQLHighlighter* NewSqlHighlighter(TComponent* Owner, const std::string& Name);
// Context help of an SQL editor moves from F1 to Ctrl+F1.
void MoveContextHelpToCtrlF1(TCodeEdit* Editor);
// A read-only viewer filling Parent, with that highlighter and popup menu (nullptr: none).
TCodeEdit* NewSqlViewer(TComponent* Owner, TWinControl* Parent, const std::string& Name,
                        TCodeSQLHighlighter* Highlighter, TPopupMenu* Popup);
