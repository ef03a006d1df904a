// The Russian descriptions under the lock and statistics grids and the wait times of the waits tab
// in seconds, minutes or hours.
#include <string>
#include <string_view>

#include "app/SessionF.h"
#include "platform/db/DB.h"
#include "platform/rtl/SysUtils.h"

namespace {

constexpr int kAnyId2 = -1;
constexpr int kNoId2 = -2;  // a null ID2 matches no row that needs one

// A lock type: its first letter, a range of second letters (one letter when both are the same), the
// ID2 it needs (kAnyId2: any) and its description.
struct LockDescription {
  char first;
  char secondFrom;
  char secondTo;
  int id2;
  const char* text;
};
constexpr LockDescription kLockDescriptions[] = {
    {'T', 'M', 'M', kAnyId2, "Блокировка DML"},
    {'T', 'X', 'X', kAnyId2, "Блокировка транзакции"},
    {'B', 'L', 'L', kAnyId2, "Блокировка введённая пользователем"},
    {'C', 'F', 'F', kAnyId2, "Глобальная блокировка схемы управляющего файла"},
    {'C', 'I', 'I', kAnyId2, "Блокировка функции взаимодействия экземпляров"},
    {'C', 'U', 'U', kAnyId2, "Блокировка связывания курсора"},
    {'D', 'F', 'F', kAnyId2, "Блокировка файла данных экземпляра"},
    {'D', 'L', 'L', kAnyId2, "Блокировка прямой загрузки при параллельном создании индекса"},
    {'D', 'M', 'M', kAnyId2,
     "Блокировка первичного/вторичного экземпляра во время монтирования/запуска базы"},
    {'D', 'R', 'R', kAnyId2, "Блокировка процесса распределённого восстановления"},
    {'D', 'X', 'X', kAnyId2, "Блокировка входа распределённой транзакции"},
    {'F', 'S', 'S', kAnyId2, "Блокировка набора файлов"},
    {'H', 'W', 'W', kAnyId2, "Блокировка операций управления пространством в заданном сегменте"},
    {'I', 'N', 'N', kAnyId2, "Блокировка номера экземпляра"},
    {'I', 'R', 'R', kAnyId2, "Глобальная блокировка сериализации востановления экземпляра"},
    {'I', 'S', 'S', kAnyId2, "Блокировка состояния экземпляра"},
    {'I', 'V', 'V', kAnyId2,
     "Блокировка для перевода в недействительное состояние объектов библиотечного кэша экземпляра"},
    {'J', 'Q', 'Q', kAnyId2, "Блокировка очереди заданий"},
    {'K', 'K', 'K', kAnyId2, "Блокировка потока"},
    {'L', 'A', 'P', kAnyId2, "Блокировка библиотечного кеша экземпляра"},
    {'M', 'M', 'M', kAnyId2, "Глобальная блокировка монтирования"},
    {'M', 'R', 'R', kAnyId2, "Блокировка восстановления носителя"},
    {'N', 'A', 'Z', kAnyId2, "Блокировка закрепления библиотечного кеша экземпляра"},
    {'P', 'F', 'F', kAnyId2, "Блокировка файла паролей"},
    {'P', 'I', 'I', kAnyId2, "Блокировка паралельных операций"},
    {'P', 'S', 'S', kAnyId2, "Блокировка паралельных операций"},
    {'P', 'R', 'R', kAnyId2, "Блокировка запуска процесса"},
    {'Q', 'A', 'Z', kAnyId2, "Блокировка кеша строк экземпляра"},
    {'R', 'T', 'T', kAnyId2, "Глобальная блокировка журнального потока"},
    {'S', 'C', 'C', kAnyId2, "Блокировка системного номера фиксации"},
    {'S', 'M', 'M', kAnyId2, "Блокировка процесса SMON"},
    {'S', 'N', 'N', kAnyId2, "Блокировка номера последовательности"},
    {'S', 'Q', 'Q', kAnyId2, "Блокировка номера последовательности (enqueue)"},
    {'S', 'S', 'S', kAnyId2, "Блокировка сегмента сортировки"},
    {'S', 'T', 'T', kAnyId2, "Блокировка транзакции выделения пространства"},
    {'S', 'V', 'V', kAnyId2, "Блокировка значения номера последовательности"},
    {'T', 'A', 'A', kAnyId2, "Общая блокировка"},
    {'T', 'S', 'S', 0, "Блокировка временного сегмента"},
    {'T', 'S', 'S', 1, "Блокировка выделения нового блока"},
    {'T', 'T', 'T', kAnyId2, "Блокировка временной таблицы"},
    {'U', 'N', 'N', kAnyId2, "Блокировка имени пользователя"},
    {'U', 'S', 'S', kAnyId2, "Блокировка DDL сегмента отката"},
    {'W', 'L', 'L', kAnyId2, "Блокировка записи в журнальный файл экземпляра"},
};

struct StatisticDescription {
  std::string_view name;
  const char* text;
};
// Statistic names exactly as the instance spells them (the callback-failure name ends in a blank, which
// the lookup ignores).
constexpr StatisticDescription kStatisticDescriptions[] = {
    {"logons cumulative", "Кумулятивные входы в систему"},
    {"logons current", "Текущие входы в систему"},
    {"opened cursors cumulative", "Общее число открытых курсоров"},
    {"opened cursors current", "Курсоры открытые в текущий момент"},
    {"user commits", "Пользовательские фиксации"},
    {"user rollbacks", "Пользовательские откаты"},
    {"user calls", "Пользовательские вызовы"},
    {"recursive calls", "Рекурсивные вызовы"},
    {"recursive cpu usage", "Использование процессора рекурсивными командами"},
    {"session logical reads", "Логические чтения сеанса"},
    {"session stored procedure space", "Размер пространства хранимых процедур сеанса"},
    {"CPU used by this session", "Время процессора данного сеанса"},
    {"session connect time", "Время соединения сеанса"},
    {"session uga memory", "Память UGA сеанса"},
    {"session uga memory max", "Максимальная память UGA сеанса"},
    {"session pga memory", "Память PGA сеанса"},
    {"session pga memory max", "Максимальная память PGA сеанса"},
    {"enqueue timeouts", "Тайм-ауты блокировок с очередями"},
    {"enqueue waits", "Ожидания блокировок с очередями"},
    {"enqueue deadlocks", "Взаимоблокировки с очередями"},
    {"enqueue requests", "Запросы блокировок с очередями"},
    {"enqueue conversions", "Преобразование блокировок с очередями"},
    {"enqueue releases", "Освобождения блокировок с очередями"},
    {"global lock get time", "Время получения глобальных блокировок"},
    {"global lock convert time", "Время преобразования глобальных блокировок"},
    {"total file opens", "Общее количество открытых файлов"},
    {"opens requiring cache replacement", "Открытия файлов, требующие замены в кеше"},
    {"opens of replaced files", "Открытия заменённых файлов"},
    {"db block gets", "Чтения блоков БД"},
    {"consistent gets", "Целостные чтения"},
    {"physical reads", "Физические чтения"},
    {"db block changes", "Изменения блоков БД"},
    {"consistent changes", "Целостные изменения"},
    {"recovery blocks read", "Чтения блоков востановления"},
    {"physical writes", "Физические записи"},
    {"summed dirty queue length", "Суммарная длина очереди модифицированных буферов"},
    {"DBWR checkpoints", "Контрольные точки DBWR"},
    {"remote instance undo block writes", "Записи блоков отката для удалённого экземпляра"},
    {"remote instance undo header writes", "Записи заголовков блоков отката для удалённого экземпляра"},
    {"redo synch writes", "Записи синхронизации журнала"},
    {"redo synch time", "Время синхронизации журнала"},
    {"exchange deadlocks", "Взаимоблокировки обмена"},
    {"free buffer requested", "Провереные свободные буфера"},
    {"dirty buffers inspected", "Проверенные модифицированные блоки"},
    {"commit cleanout failures: write disabled", "Сбои очистки при фиксации: запись запрещена"},
    {"commit cleanout failures: block lost", "Сбои очистки при фиксации: блок потерян"},
    {"commit cleanout failures: cannot pin", "Сбои очистки при фиксации: невозможно закрепить блок"},
    {"commit cleanout failures: hot backup in progress",
     "Сбои очистки при фиксации: выполняется оперативное резервирование"},
    {"commit cleanout failures: buffer being written", "Сбои очистки при фиксации: буфер записывается"},
    {"commit cleanout failures: callback failure ", "Сбои очистки при фиксации: сбой обратного вызова"},
    {"commit cleanouts", "Очистки при фиксации"},
    {"commit cleanouts successfully completed", "Очистки при фиксации, завершенные успешно"},
    {"calls to get snapshot scn: kcmgss", "Запрос на выделение моментальной копии SCN:kcmgss"},
    {"redo entries", "Записи журнала"},
    {"redo size", "Размер журнальных данных"},
    {"redo wastage", "Избыточные затраты журнала"},
    {"redo writer latching time", "Время удержания защёлок в LWGR"},
    {"redo writes", "Записи в журнал"},
    {"redo write time", "Время записи журнала"},
    {"redo log space requests", "Запросы журнального пространства"},
    {"redo log space wait time", "Время ожидания журнального пространства"},
    {"redo log switch interrupts", "Прерывания для переключения журнала"},
    {"redo ordering marks", "Показатели упорядочивания журнала"},
    {"table scans (short tables)", "Просмотр таблиц - короткие таблицы"},
    {"table scans (long tables)", "Просмотр таблиц - длинные таблицы"},
    {"table scans (rowid ranges)", "Просмотры таблиц - диапазоны ROWID"},
    {"table scans (cache partitions)", "Просмотр таблиц - разделы кеша"},
    {"table scans (direct read)", "Просмотр таблиц - прямое чтение"},
    {"table scan rows gotten", "Строки,полученные при просмотрах таблиц"},
    {"table scan blocks gotten", "Блоки,полученные при просмотрах таблиц"},
    {"table fetch by rowid", "Выборки строк таблиц по ROWID"},
    {"table fetch continued row", "Дополнительные выборки сцепленных строк таблиц"},
    {"parse count (total)", "Общее число разборов"},
    {"parse count (hard)", "Число полных разборов"},
    {"execute count", "Счетчик выполнений"},
    {"bytes sent via SQL*Net to client", "Байты, посланные клиенту по SQL*Net"},
    {"bytes received via SQL*Net from client", "Байты, полученные от клиента по SQL*Net"},
    {"SQL*Net roundtrips to/from client", "Взаимные обмены по SQL*Net с клиентом"},
    {"bytes sent via SQL*Net to dblink", "Байты посланные через связь базы данных по SQL*Net"},
    {"bytes received via SQL*Net from dblink", "Байты полученные через связь базы данных по SQL*Net"},
    {"SQL*Net roundtrips to/from dblink", "Взаимные обмены через связь базы данных"},
    {"sorts (memory)", "Сортировки в памяти"},
    {"sorts (disk)", "Сортировки на диске"},
    {"sorts (rows)", "Строк отсортировано"},
    {"session cursor cache hits", "Попаданий в кеш курсоров сеанса"},
    {"session cursor cache count", "Счетчик кеша курсоров сеанса"},
};

// Wait times are hundredths of a second: below a minute they read in seconds, from a minute in minutes,
// from an hour in hours; up to one second and from sixty hours the plain number of milliseconds, the
// unit the waits tab's titles name.
constexpr double kSecond = 100, kMinute = 6000, kHour = 360000, kLongest = 21600000;
constexpr double kMsPerHundredth = 10;
struct WaitUnit {
  double from;  // exclusive for seconds, inclusive for minutes and hours
  double to;    // exclusive
  double size;
  const char* suffix;
};
constexpr WaitUnit kWaitUnits[] = {
    {kSecond, kMinute, kSecond, " сек."},
    {kMinute, kHour, kMinute, " мин."},
    {kHour, kLongest, kHour, " час."},
};
constexpr const char* kWaitFormat = "0.##";

const char* LockText(const std::string& Type, int Id2) {
  if (Type.size() != 2) return "";
  for (const LockDescription& d : kLockDescriptions)
    if (Type[0] == d.first && Type[1] >= d.secondFrom && Type[1] <= d.secondTo &&
        (d.id2 == kAnyId2 || d.id2 == Id2))
      return d.text;
  return "";
}

// A name without the blanks at its end: the session trims string fields by default, so a name that
// the instance ends in a blank arrives without it.
std::string_view WithoutTrailingBlanks(std::string_view Name) {
  while (!Name.empty() && Name.back() == ' ') Name.remove_suffix(1);
  return Name;
}

const char* StatisticText(const std::string& Name) {
  const std::string_view name = WithoutTrailingBlanks(Name);
  for (const StatisticDescription& d : kStatisticDescriptions)
    if (WithoutTrailingBlanks(d.name) == name) return d.text;
  return "";
}

}  // namespace

void TSessionForm::odsLockCalcFields(TDataSet* DataSet) {
  const std::string type = DataSet->FieldByName("LOCK_TYPE")->AsString();
  if (type.empty()) return;
  TField* id2 = DataSet->FieldByName("ID2");
  const int id2Value = id2->IsNull() ? kNoId2 : id2->AsInteger();
  DataSet->FieldByName("LOCK_NAME")->SetAsString(std::string(" ") + LockText(type, id2Value));
}

void TSessionForm::odsStatisticsCalcFields(TDataSet* DataSet) {
  DataSet->FieldByName("NAME_RUS")
      ->SetAsString(std::string(" ") + StatisticText(DataSet->FieldByName("NAME")->AsString()));
}

void TSessionForm::odsEventTIME_WAITEDGetText(TField* Sender, std::string& Text, bool) {
  if (Sender->IsNull()) {
    Text.clear();
    return;
  }
  auto* numeric = dynamic_cast<TNumericField*>(Sender);
  const std::string format =
      numeric && !numeric->DisplayFormat().empty() ? numeric->DisplayFormat() : std::string(kWaitFormat);
  const double value = Sender->AsFloat();
  for (const WaitUnit& u : kWaitUnits) {
    const bool above = u.from == kSecond ? value > u.from : value >= u.from;
    if (above && value < u.to) {
      Text = FormatFloat(format, value / u.size) + u.suffix;
      return;
    }
  }
  Text = FormatFloat(format, value * kMsPerHundredth);
}
