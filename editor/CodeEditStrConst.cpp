#include "editor/CodeEditStrConst.h"

namespace CodeEditStr {

const char SYNS_Unknown[] = "<Unknown>";
const char SYNS_KeywordAlreadyInList[] = "Keyword \"%s\" already in list";
const char SYNS_MethodChainEntry[] = "%s.Entry : the parameter `AEvent' must be specified.";
const char SYNS_MethodChainRemove[] = "%s.Remove: the parameter `AEvent' must be specified.";
const char SYNS_AttrBackground[] = "Background";
const char SYNS_AttrForeground[] = "Foreground";
const char SYNS_AttrStyle[] = "Style";
const char SYNS_AttrComment[] = "Comment";
const char SYNS_AttrDataType[] = "Data Type";
const char SYNS_AttrDefaultPackage[] = "Default Packages";
const char SYNS_AttrException[] = "Exception";
const char SYNS_AttrFunction[] = "Function";
const char SYNS_AttrIdentifier[] = "Identifier";
const char SYNS_AttrReservedWord[] = "Reserved Word";
const char SYNS_AttrNumber[] = "Number";
const char SYNS_AttrPLSQL[] = "PL/SQL Reserved Word";
const char SYNS_AttrSpace[] = "Space";
const char SYNS_AttrSQLPlus[] = "SQL*Plus Command";
const char SYNS_AttrString[] = "String";
const char SYNS_AttrSymbol[] = "Symbol";
const char SYNS_AttrTableName[] = "Table Name";
const char SYNS_AttrVariable[] = "Variable";
const char SYNS_FilterSQL[] = "SQL Files (*.sql)|*.sql";
const char SYNS_LangSQL[] = "SQL";
const char SInvalidStringListIndex[] = "Invalid stringlist index %d";
const char SInvalidCapacity[] = "Stringlist capacity cannot be smaller than count";
const char SListIndexOutOfBounds[] = "List index out of bounds (%d)";
const char SDuplicateShortCut[] = "Shortcut already exists";
const char SWordWrapOwner[] = "TCodeWordWrapPlugin must be owned by TCustomCodeEdit";
const char SAssertionFailure[] = "Assertion failure";

}  // namespace CodeEditStr
