<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="ru_RU">
<context>
    <name>orn10ctl</name>
    <message>
        <source>порога 1</source>
        <translation>threshold 1</translation>
    </message>
    <message>
        <source>порога 2</source>
        <translation>threshold 2</translation>
    </message>
    <message>
        <source>концентрации газа для магнитной градуировки</source>
        <translation>gas concentration for magnetic calibration</translation>
    </message>
    <message>
        <source>значения тока выхода</source>
        <translation>current output value</translation>
    </message>
    <message>
        <source>причина неизвестна</source>
        <translation>unknown reason</translation>
    </message>
    <message>
        <source> (состоит ли пользователь в группе dialout?)</source>
        <translation> (is the user in the group dialout?)</translation>
    </message>
    <message>
        <source> (порт занят другой программой)</source>
        <translation> (another program holds the port)</translation>
    </message>
    <message>
        <source> (это не последовательный порт)</source>
        <translation> (not a serial port)</translation>
    </message>
    <message>
        <source>не могу открыть порт %1: %2</source>
        <translation>cannot open the port %1: %2</translation>
    </message>
    <message>
        <source>порт %1 отказал: %2</source>
        <translation>the port %1 failed: %2</translation>
    </message>
    <message>
        <source>порт пропал: %1: %2; пробую снова</source>
        <translation>port gone: %1: %2; trying again</translation>
    </message>
    <message>
        <source>порт вернулся: %1</source>
        <translation>port back: %1</translation>
    </message>
    <message>
        <source>«%1» %2 вне пределов %3 … %4</source>
        <translation>&quot;%1&quot; %2 is outside %3 to %4</translation>
    </message>
    <message>
        <source> (сейчас не подходит ни одно значение)</source>
        <translation> (no value fits the instrument&apos;s present settings)</translation>
    </message>
    <message>
        <source>запись не внесена в журнал: %1</source>
        <translation>the write was not recorded: %1</translation>
    </message>
    <message>
        <source>токового выхода, который можно зафиксировать</source>
        <translation>current output to fix</translation>
    </message>
    <message>
        <source>у %1 нет %2</source>
        <translation>the %1 has no %2</translation>
    </message>
    <message>
        <source>неверное значение &apos;%1&apos;: нужно число, например 20.5 или 20,5</source>
        <translation>bad value &apos;%1&apos;: expected a number such as 20.5 or 20,5</translation>
    </message>
    <message>
        <source>%1 — не значение регистра (%2 … %3)</source>
        <translation>%1 is no register value (%2 to %3)</translation>
    </message>
    <message>
        <source>%1 — код команды: используйте zero или reset</source>
        <translation>%1 is the code of a command: use zero or reset</translation>
    </message>
    <message>
        <source>токовый выход зафиксирован: освободите его перед градуировкой</source>
        <translation>the current output is fixed: release it before calibrating</translation>
    </message>
    <message>
        <source>токовый выход не зафиксирован; ничего не отправлено</source>
        <translation>the current output is not fixed; nothing sent</translation>
    </message>
    <message>
        <source>токовый выход уже зафиксирован; ничего не отправлено</source>
        <translation>the current output is already fixed; nothing sent</translation>
    </message>
    <message>
        <source>прибор не сообщил, что его токовый выход зафиксирован</source>
        <translation>the instrument did not report its current output fixed</translation>
    </message>
    <message>
        <source>№%1</source>
        <translation>#%1</translation>
    </message>
    <message>
        <source>ноль %1 → %2 %об</source>
        <translation>zero %1 → %2 %vol</translation>
    </message>
    <message>
        <source>газ %1 → %2 %об</source>
        <translation>gas %1 → %2 %vol</translation>
    </message>
    <message>
        <source>ПГС %1 %об</source>
        <translation>test gas %1 %vol</translation>
    </message>
    <message>
        <source>, партия %1</source>
        <translation>, lot %1</translation>
    </message>
    <message>
        <source>, годен до %1</source>
        <translation>, expires %1</translation>
    </message>
    <message>
        <source>сервер журнала недоступен (%1): записей ждут отправки в локальном файле: %2; они уйдут со следующей отправкой</source>
        <translation>the team server was not reached (%1): %2 record(s) wait in the local file and go with the next delivery</translation>
    </message>
    <message>
        <source>журнал не читается: %1</source>
        <translation>the records cannot be read: %1</translation>
    </message>
    <message>
        <source>сервер журнала недоступен (%1): только записи этого компьютера</source>
        <translation>the team server was not reached (%1): the records of this computer only</translation>
    </message>
    <message>
        <source>Записей о серийном номере %1 нет.</source>
        <translation>No records of serial number %1.</translation>
    </message>
    <message>
        <source>%1, сер. номер %2</source>
        <translation>%1, serial no. %2</translation>
    </message>
    <message>
        <source>градуировок нет; интервал %1 мес.</source>
        <translation>never calibrated; interval %1 months</translation>
    </message>
    <message>
        <source>последняя градуировка %1, интервал %2 мес., следующая %3</source>
        <translation>last calibration %1, interval %2 months, next %3</translation>
    </message>
    <message>
        <source> — ПРОСРОЧЕНА</source>
        <translation> — OVERDUE</translation>
    </message>
    <message>
        <source>Справка: orn10ctl --help.</source>
        <translation>Try &apos;orn10ctl --help&apos;.</translation>
    </message>
    <message>
        <source>не хватает аргумента</source>
        <translation>missing argument</translation>
    </message>
    <message>
        <source>лишний аргумент &apos;%1&apos;</source>
        <translation>unexpected argument &apos;%1&apos;</translation>
    </message>
    <message>
        <source>неизвестное значение &apos;%1&apos;: нужно threshold1, threshold2, magnet или current</source>
        <translation>unknown value &apos;%1&apos;: expected threshold1, threshold2, magnet or current</translation>
    </message>
    <message>
        <source>неверный ток &apos;%1&apos;: нужно 4 или 20 (мА)</source>
        <translation>bad output &apos;%1&apos;: expected 4 or 20 (mA)</translation>
    </message>
    <message>
        <source>неверный серийный номер &apos;%1&apos;: нужны его цифры</source>
        <translation>bad serial number &apos;%1&apos;: expected its digits</translation>
    </message>
    <message>
        <source>неверный диапазон адресов &apos;%1&apos;: нужно A или A-B в пределах 1–247</source>
        <translation>bad address range &apos;%1&apos;: expected A or A-B within 1 to 247</translation>
    </message>
    <message>
        <source>неизвестная команда &apos;%1&apos;</source>
        <translation>unknown command &apos;%1&apos;</translation>
    </message>
    <message>
        <source>параметру %1 нужно значение</source>
        <translation>option %1 needs a value</translation>
    </message>
    <message>
        <source>параметр %1 не принимает значения</source>
        <translation>option %1 takes no value</translation>
    </message>
    <message>
        <source>неверное значение %1 &apos;%2&apos;: нужно %3</source>
        <translation>bad %1 &apos;%2&apos;: expected %3</translation>
    </message>
    <message>
        <source>порта</source>
        <translation>port</translation>
    </message>
    <message>
        <source>путь к устройству или COM&lt;n&gt;</source>
        <translation>a device path or COM&lt;n&gt;</translation>
    </message>
    <message>
        <source>скорости</source>
        <translation>speed</translation>
    </message>
    <message>
        <source>1200, 2400, 4800, 9600, 19200, 38400, 57600 или 115200</source>
        <translation>1200, 2400, 4800, 9600, 19200, 38400, 57600 or 115200</translation>
    </message>
    <message>
        <source>чётности</source>
        <translation>parity</translation>
    </message>
    <message>
        <source>none, odd или even</source>
        <translation>none, odd or even</translation>
    </message>
    <message>
        <source>модели</source>
        <translation>model</translation>
    </message>
    <message>
        <source>MB1, MB2, MB3, MB4, X-20 или X-22</source>
        <translation>MB1, MB2, MB3, MB4, X-20 or X-22</translation>
    </message>
    <message>
        <source>исполнителя</source>
        <translation>technician</translation>
    </message>
    <message>
        <source>объекта</source>
        <translation>site</translation>
    </message>
    <message>
        <source>примечания</source>
        <translation>note</translation>
    </message>
    <message>
        <source>одна строка текста</source>
        <translation>one line of text</translation>
    </message>
    <message>
        <source>даты</source>
        <translation>date</translation>
    </message>
    <message>
        <source>тайм-аута</source>
        <translation>timeout</translation>
    </message>
    <message>
        <source>миллисекунды от 11 до 60000</source>
        <translation>milliseconds from 11 to 60000</translation>
    </message>
    <message>
        <source>интервала</source>
        <translation>interval</translation>
    </message>
    <message>
        <source>секунды от 0 до 86400</source>
        <translation>seconds from 0 to 86400</translation>
    </message>
    <message>
        <source>числа чтений</source>
        <translation>count</translation>
    </message>
    <message>
        <source>число чтений от 1</source>
        <translation>a number of reads from 1</translation>
    </message>
    <message>
        <source>языка</source>
        <translation>language</translation>
    </message>
    <message>
        <source>неизвестный параметр &apos;%1&apos;</source>
        <translation>unknown option &apos;%1&apos;</translation>
    </message>
    <message>
        <source>не задана команда</source>
        <translation>no command given</translation>
    </message>
    <message>
        <source>Использование: orn10ctl [ПАРАМЕТР]... КОМАНДА [АРГУМЕНТ]...
Читает, настраивает и градуирует газоанализаторы ORN10 по последовательной линии
MODBUS RTU и находит их на ней: окно сервисной программы для скриптов и
командной строки.  Значения расшифровываются, подписываются и проверяются на
допустимость точно так же, как в окне.
</source>
        <translation>Usage: orn10ctl [OPTION]... COMMAND [ARGUMENT]...
Reads, sets and calibrates ORN10 gas detectors over a MODBUS RTU serial line,
and finds them on it: the service utility&apos;s window for scripts and shells.
Values are decoded, labelled and range-checked exactly as the window does.
</translation>
    </message>
    <message>
        <source>
Журнал:
      --technician ИМЯ кто выполнил (по умолчанию: имя пользователя)
      --site ТЕКСТ     объект или линия, произвольный текст
      --note ТЕКСТ     примечание
      --from ДАТА, --to ДАТА  history и export: только записи этих дней
                       (ГГГГ-ММ-ДД, местное время, обе включительно); -a и -m,
                       если заданы, отбирают по адресу и модели
</source>
        <translation>
Records:
      --technician NAME  who did it (default: the login name)
      --site TEXT      site or line, free text
      --note TEXT      a note
      --from DATE, --to DATE  history and export: records of these days only
                       (YYYY-MM-DD, local time, both included); -a and -m
                       filter by address and model when given
</translation>
    </message>
    <message>
        <source>
Вывод:
      --json           JSON (один объект; watch: по объекту на строку)
      --csv            CSV со строкой заголовка
      --lang ЯЗЫК      en или ru: язык вывода для людей и сообщений (по
                       умолчанию язык локали: русский для русской, иначе
                       английский)
  -v, --verbose        показывать обмен по линии на стандартном выводе ошибок:
                       каждый отправленный запрос, принятые байты, удалённое
                       эхо, пропущенные байты, отброшенные чужие и запоздалые
                       кадры и каждый итог
  -h, --help           показать эту справку и выйти
      --version        показать версию и выйти

По умолчанию вывод для людей: подписи как в окне, выровненные, числа с
десятичным разделителем локали (LC_NUMERIC), тексты на английском или на
русском, когда язык локали русский (LC_ALL, LC_MESSAGES, LANG, LANGUAGE) или
задан --lang ru.  Ошибки прибора выводятся текстами окна (&quot;Нет связи&quot;).
JSON и CSV всегда с точкой, и их ключи на любом языке одни и те же: показание
названо своим ключом (serial, gas, temperature, status, range, threshold1,
threshold2, magnet, current, working_time, software_version, poll_interval,
date, clock), а в JSON у него есть подпись (label), единица (unit), значение
(value: число; null у показания, которое окно выводит в шестнадцатеричном
виде, тогда у него есть register, и у даты и времени X-22) и текст (text),
как его показывает окно.
</source>
        <translation>
Output:
      --json           JSON (one object; watch: one object per line)
      --csv            CSV with a header line
      --lang LANG      en or ru: the language of the output for people and of
                       the messages (default: the locale&apos;s, Russian for a
                       Russian one, else English)
  -v, --verbose        show the line traffic on standard error: each request
                       sent, bytes received, echoes removed, bytes skipped,
                       foreign and late frames dropped, and each outcome
  -h, --help           show this help and exit
      --version        show the version and exit

By default the output is for people: labels as in the window, aligned,
numbers with the decimal separator of the locale (LC_NUMERIC), texts in
English, or in Russian when the locale&apos;s language is Russian (LC_ALL,
LC_MESSAGES, LANG, LANGUAGE) or --lang ru is given.  Errors of the instrument
are shown with the window&apos;s texts (&quot;No response&quot;).  JSON and CSV always use a
point, and their keys are the same in every language: a reading is named by
its key (serial, gas, temperature, status, range, threshold1, threshold2,
magnet, current, working_time, software_version, poll_interval, date, clock),
and in JSON it has its label (label), unit (unit), value (value: a number;
null for a reading the window shows in hexadecimal, which then has register,
and for the X-22&apos;s date and time) and text (text) as the window shows it.
</translation>
    </message>
    <message>
        <source>
Scan: каждый адрес запрашивается только о регистре 13, последнем в блоке MB4.
Регистр или исключение 2 (нет такого регистра) говорят, что там есть прибор;
затем его спрашивают о последних регистрах блоков других моделей (сначала 11 у
X-22, затем делением пополам).  Прибор отказывает в регистре за своим последним
исключением 2, поэтому старший регистр, на который он отвечает, — это число
его регистров, и модель, блок чтения которой имеет такую длину, — та, на
которую он похож (MB1 6, X-20 7, MB2 9, X-22 11, MB3 12, MB4 13).  Это
догадка: читайте с моделью, которую она называет, или с той, которую знаете.
Устройство, которое молчит вместо отказа в отсутствующем регистре, не
находится.
</source>
        <translation>
Scan: each address is asked for register 13 alone, the last of the MB4&apos;s block.
The register or exception 2 (no such register) says that an instrument is
there; it is then asked for the last registers of the other models&apos; blocks (11
of the X-22 next, then by halving).  An instrument refuses a register past its
last one with exception 2, so the highest register it answers is its register
count, and the model whose read block has that length is the one it looks like
(MB1 6, X-20 7, MB2 9, X-22 11, MB3 12, MB4 13).  It is a guess: read with the
model it names, or with the one you know.  A device that stays silent instead
of refusing a register it lacks is not found.
</translation>
    </message>
    <message>
        <source>не могу записать вывод: %1</source>
        <translation>cannot write the output: %1</translation>
    </message>
    <message>
        <source>отправлено</source>
        <translation>sent</translation>
    </message>
    <message>
        <source>принято</source>
        <translation>received</translation>
    </message>
    <message>
        <source>эхо удалено</source>
        <translation>echo removed</translation>
    </message>
    <message>
        <source>пропущено</source>
        <translation>skipped</translation>
    </message>
    <message>
        <source>чужой кадр</source>
        <translation>foreign</translation>
    </message>
    <message>
        <source>запоздалый</source>
        <translation>late</translation>
    </message>
    <message>
        <source>итог</source>
        <translation>outcome</translation>
    </message>
    <message>
        <source>прервано</source>
        <translation>interrupted</translation>
    </message>
    <message>
        <source>№</source>
        <translation>#</translation>
    </message>
    <message>
        <source>Время</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>отказано: %1</source>
        <translation>refused: %1</translation>
    </message>
    <message>
        <source>(чтение перед записью)</source>
        <translation>(the read before the write)</translation>
    </message>
    <message>
        <source>(регистр %1)</source>
        <translation>(register %1)</translation>
    </message>
    <message>
        <source>Переключен на служебный протокол</source>
        <translation>Switched to the service protocol</translation>
    </message>
    <message>
        <source>Адрес</source>
        <translation>Address</translation>
    </message>
    <message>
        <source>Прибор</source>
        <translation>Instrument</translation>
    </message>
    <message>
        <source>(регистров: %1)</source>
        <translation>(%1 registers)</translation>
    </message>
    <message>
        <source>Найдено приборов: %1</source>
        <translation>Instruments found: %1</translation>
    </message>
    <message>
        <source>поиск прерван</source>
        <translation>scan interrupted</translation>
    </message>
    <message>
        <source>%1 мс</source>
        <translation>%1 ms</translation>
    </message>
    <message>
        <source>не могу связаться с %1: %2</source>
        <translation>cannot reach %1: %2</translation>
    </message>
    <message>
        <source>имя не найдено</source>
        <translation>name not found</translation>
    </message>
    <message>
        <source>соединение отвергнуто (на этом порту никто не ждёт: верен ли адрес и включён ли сервер портов или шлюз?)</source>
        <translation>connection refused (nothing listens on that port: is the address right and the device server or gateway on?)</translation>
    </message>
    <message>
        <source>нет маршрута к узлу (верен ли адрес и подключена ли сеть?)</source>
        <translation>no route to the host (is the address right and the network connected?)</translation>
    </message>
    <message>
        <source>тайм-аут (узел не отвечает: верен ли адрес и подключена ли сеть?)</source>
        <translation>timed out (the host does not answer: is the address right and the network connected?)</translation>
    </message>
    <message>
        <source>соединение закрыто другой стороной</source>
        <translation>connection closed by the peer</translation>
    </message>
    <message>
        <source>узел говорит не на протоколе адреса (tcp://, rtu+tcp:// или rfc2217://)</source>
        <translation>the peer does not speak the protocol of the address (tcp://, rtu+tcp:// or rfc2217://)</translation>
    </message>
    <message>
        <source>сетевого адреса</source>
        <translation>network address</translation>
    </message>
    <message>
        <source>rtu+tcp://HOST:PORT, tcp://HOST[:PORT] или rfc2217://HOST:PORT</source>
        <translation>rtu+tcp://HOST:PORT, tcp://HOST[:PORT] or rfc2217://HOST:PORT</translation>
    </message>
    <message>
        <source>сетевого запаса</source>
        <translation>network allowance</translation>
    </message>
    <message>
        <source>миллисекунды от 0 до 60000</source>
        <translation>milliseconds from 0 to 60000</translation>
    </message>
    <message>
        <source>
Код завершения:
  0  всё запрошенное выполнено (scan: найден хотя бы один прибор)
  1  прибор ответил исключением или повреждённым ответом
  2  неверные аргументы
  3  порт не открывается или отказал во время работы (вынут адаптер);
     по сети: соединение не устанавливается или потеряно (отвергнуто, нет
     маршрута, имя не найдено, тайм-аут, закрыто другой стороной); причина
     выводится
  4  нет ответа вовремя (scan: ни одного прибора не найдено)
  5  в значении или команде отказано; ничего не отправлено
  6  журнал не записан (сама запись или команда выполнена; причина
     выводится) или, для history и export, не прочитан
  7  вывод не записан (диск полон, носитель пропал); причина выводится
  130  прервано до окончания команды (watch при прерывании заканчивается
       обычно: 0, если каждое чтение удалось, иначе код его последнего
       неудачного чтения)
  Читатель, который закрыл канал (orn10ctl watch | head -1), взял что хотел:
  команда заканчивается тихо, как watch при прерывании.
</source>
        <translation>
Exit status:
  0  everything asked for succeeded (scan: at least one instrument found)
  1  the instrument answered with an exception or a damaged answer
  2  bad arguments
  3  the port cannot be opened, or failed while in use (an adapter pulled);
     over the network: the connection cannot be made or was lost (refused,
     no route, name not found, timed out, closed by the peer); the reason is
     shown
  4  no answer in time (scan: no instrument found)
  5  a value or command refused; nothing was sent
  6  the records could not be written (the write or command itself succeeded;
     the reason is shown) or, for history and export, read
  7  the output could not be written (a full disk, a medium gone); the reason
     is shown
  130  interrupted before the command had finished (a watch ends normally when
       interrupted: 0 when every read succeeded, else the status of its last
       failed read)
  A reader that closes the pipe (orn10ctl watch | head -1) has taken what it
  wanted: the command ends quietly, as a watch does when interrupted.
</translation>
    </message>
    <message>
        <source>неверная модель в &apos;%1&apos;: нужно MB1, MB2, MB3, MB4, X-20 или X-22</source>
        <translation>bad model in &apos;%1&apos;: expected MB1, MB2, MB3, MB4, X-20 or X-22</translation>
    </message>
    <message>
        <source>неверный адрес &apos;%1&apos;: нужно N или A-B в пределах 1–247</source>
        <translation>bad address &apos;%1&apos;: expected N, or A-B, within 1 to 247</translation>
    </message>
    <message>
        <source>неверный элемент --sweep &apos;%1&apos;: нужны скорости (от 1200 до 115200) и чётности (none, odd, even)</source>
        <translation>bad sweep item &apos;%1&apos;: expected speeds (1200 to 115200) and parities (none, odd, even)</translation>
    </message>
    <message>
        <source>список адресов — только для watch</source>
        <translation>a list of addresses is for watch only</translation>
    </message>
    <message>
        <source>--sweep — только для scan</source>
        <translation>--sweep is for scan only</translation>
    </message>
    <message>
        <source>
Watch:
  -i, --interval С     секунды от начала одного чтения до начала следующего (по
                       умолчанию 2; 0: без паузы); о порте, который отказал или
                       не открывается, сообщается один раз (&quot;порт пропал&quot;, затем
                       &quot;порт вернулся&quot;), и он пробуется снова каждые С секунд,
                       но не чаще раза в 0,5 с
  -n, --count N        остановиться после N чтений (считается каждая попытка;
                       с несколькими адресами — N кругов)
</source>
        <translation>
Watch:
  -i, --interval S     seconds from one read&apos;s start to the next (default 2;
                       0: no pause); a port that fails or cannot be opened is
                       said once (&quot;port gone&quot;, then &quot;port back&quot;) and tried
                       again every S seconds, at most every 0.5 s
  -n, --count N        stop after N reads (each try counts; with several
                       addresses, N rounds)
</translation>
    </message>
    <message>
        <source>
Scan:
      --sweep[=СПИСОК] когда настройки линии неизвестны: поиск на каждой
                       скорости и чётности по очереди, сначала обычные (19200
                       и 9600 бит/с, even, none, odd), и для каждого прибора
                       настройки, на которых он ответил.  СПИСОК выбирает
                       скорости и чётности (--sweep=9600,19200,even,none);
                       то, чего в нём нет, пробуется всё: --sweep без списка
                       пробует все 8 скоростей с 3 чётностями.  Сначала
                       сообщается, сколько это займёт (если все адреса
                       молчат).  Найденный адрес на следующих настройках не
                       спрашивается.
</source>
        <translation>
Scan:
      --sweep[=LIST]   when the line&apos;s settings are not known: the search at
                       each speed and parity in turn, the usual ones first
                       (19200 and 9600 bit/s, even, none, odd), and for each
                       instrument the settings it answered at.  LIST chooses
                       speeds and parities (--sweep=9600,19200,even,none);
                       a kind not listed is tried whole: --sweep alone tries
                       all 8 speeds by 3 parities.  Its time (every address
                       silent) is said first.  An address found is not asked
                       again at later settings.
</translation>
    </message>
    <message>
        <source>
Примеры:
  orn10ctl -p /dev/ttyUSB0 -a 5 read
  orn10ctl -p COM2 -s 9600 -a 3 -m X-22 --json read
  orn10ctl -p /dev/ttyUSB0 -a 5 watch -i 1 --csv &gt;&gt; readings.csv
  orn10ctl -p /dev/ttyUSB0 scan -t 50
  orn10ctl -p /dev/ttyUSB0 scan 1-10 --sweep
  orn10ctl -p /dev/ttyUSB0 -a 1,3:X-22,5-9 watch -i 5 --csv &gt;&gt; line.csv
  orn10ctl -p /dev/ttyUSB0 -a 5 write threshold1 20,5
  orn10ctl -p tcp://192.168.1.20 -a 5 read
  orn10ctl -p rtu+tcp://192.168.1.21:4001 --net-timeout 300 scan
  orn10ctl -p /dev/ttyUSB0 -a 5 calibrate 2.5
  orn10ctl -p /dev/ttyUSB0 -a 5 fix 20 &amp;&amp; orn10ctl -p /dev/ttyUSB0 -a 5 release
  orn10ctl --technician &quot;Иванов&quot; --site &quot;Цех 3&quot; -p /dev/ttyUSB0 -a 5 zero
  orn10ctl history 2630001
  orn10ctl export --from 2026-01-01 &gt; records.csv
  for a in $(seq 1 40); do orn10ctl -p /dev/ttyUSB0 -a $a write threshold2 50
  done

С симулятором:
  orn10sim --link /tmp/orn10/com1 -i MB4@1 -i X-22@5 &amp;
  ORN10_COM1=/tmp/orn10/com1 orn10ctl scan
  orn10sim --tcp 5020 --protocol mbtcp -i MB4@1 &amp;
  orn10ctl -p tcp://127.0.0.1:5020 read
</source>
        <translation>
Examples:
  orn10ctl -p /dev/ttyUSB0 -a 5 read
  orn10ctl -p COM2 -s 9600 -a 3 -m X-22 --json read
  orn10ctl -p /dev/ttyUSB0 -a 5 watch -i 1 --csv &gt;&gt; readings.csv
  orn10ctl -p /dev/ttyUSB0 scan -t 50
  orn10ctl -p /dev/ttyUSB0 scan 1-10 --sweep
  orn10ctl -p /dev/ttyUSB0 -a 1,3:X-22,5-9 watch -i 5 --csv &gt;&gt; line.csv
  orn10ctl -p /dev/ttyUSB0 -a 5 write threshold1 20,5
  orn10ctl -p tcp://192.168.1.20 -a 5 read
  orn10ctl -p rtu+tcp://192.168.1.21:4001 --net-timeout 300 scan
  orn10ctl -p /dev/ttyUSB0 -a 5 calibrate 2.5
  orn10ctl -p /dev/ttyUSB0 -a 5 fix 20 &amp;&amp; orn10ctl -p /dev/ttyUSB0 -a 5 release
  orn10ctl --technician &quot;Smith&quot; --site &quot;Plant 3&quot; -p /dev/ttyUSB0 -a 5 zero
  orn10ctl history 2630001
  orn10ctl export --from 2026-01-01 &gt; records.csv
  for a in $(seq 1 40); do orn10ctl -p /dev/ttyUSB0 -a $a write threshold2 50
  done

With the simulator:
  orn10sim --link /tmp/orn10/com1 -i MB4@1 -i X-22@5 &amp;
  ORN10_COM1=/tmp/orn10/com1 orn10ctl scan
  orn10sim --tcp 5020 --protocol mbtcp -i MB4@1 &amp;
  orn10ctl -p tcp://127.0.0.1:5020 read
</translation>
    </message>
    <message>
        <source>%1 мин %2 с</source>
        <translation>%1 min %2 s</translation>
    </message>
    <message>
        <source>%1 с</source>
        <translation>%1 s</translation>
    </message>
    <message>
        <source>пробую настроек линии: %1, адресов: %2; около %3</source>
        <translation>trying %1 settings at %2 addresses: about %3</translation>
    </message>
    <message>
        <source>Связь</source>
        <translation>Line</translation>
    </message>
    <message>
        <source>
Команды:
  ports                список последовательных портов этого компьютера, как их
                       показывает список портов окна, у каждого — что дать -p
  read                 прочитать прибор один раз и показать его показания
  watch                читать его каждые --interval секунд, по строке на чтение,
                       пока не прервут (Ctrl+C, SIGTERM) или до --count чтений;
                       неудачное чтение выводит свою ошибку, и чтение идёт
                       дальше; с несколькими адресами (-a 1,3,5-9) они
                       читаются по очереди, по строке каждый, круг за кругом
  scan [A[-B]]         найти приборы по адресам от A до B (по умолчанию 1-247)
                       и модель, на которую похож каждый; с --sweep — и на
                       других скоростях и чётностях
  write threshold1 V   задать порог 1                (MB2-MB4, X-20, X-22)
  write threshold2 V   задать порог 2                (MB2-MB4, X-22)
  write magnet V       задать газ магнитной градуировки  (MB2-MB4)
  write current V      указать значение токового выхода, мА (MB3, MB4)
  calibrate V          градуировать показания концентрации при V %
  zero                 установить ноль показаний концентрации
  reset                сбросить градуировку концентрации к заводской
  fix [4|20]           зафиксировать токовый выход (MB3, MB4) и, с 4 или 20,
                       выдать на нём 4 мА или 20 мА
  release              освободить зафиксированный токовый выход
  service              переключить прибор на служебный протокол (он перестанет
                       отвечать по MODBUS, пока его не перезапустят)
  history SERIAL       журнал обслуживания прибора с этим серийным номером:
                       когда ему градуировка, и каждая проверка, градуировка,
                       запись и команда, новые первыми
  export [SERIAL]      журнал обслуживания в CSV для таблицы (все приборы или
                       один), на стандартный вывод
  help                 показать эту справку

  V задаётся в единицах показаний, с точкой или запятой: 20.5 или 20,5.
  Каждая запись и команда сначала читает прибор, затем проверяет значение и
  состояние прибора, как окно, и с указанием причины отказывает в том, в чём
  отказало бы окно: порог 1 выше порога 2, порог 2 ниже порога 1 или выше
  диапазона измерений, газ магнитной градуировки 0 или выше диапазона, ток вне
  0.01 … 50.00 мА, значение, которое не является значением регистра (меньше 0
  или больше 655.35) или было бы кодом команды; градуировка, ноль и сброс при
  зафиксированном токовом выходе; значение, которого у модели нет.  Затем
  записывает регистр и показывает ответ прибора.

  Каждая запись и команда, которую прибор подтвердил (или которая осталась
  без ответа и, возможно, выполнена), вносится в журнал обслуживания, как и
  записи окна: в локальный файл ~/.local/share/orn10util/records.db
  ($XDG_DATA_HOME) и на сервер группы из ~/.config/orn10util/records.conf,
  если он задан (записи, которые не дошли до него, ждут в локальном файле).
</source>
        <translation>
Commands:
  ports                list the serial ports of this machine as the window&apos;s
                       port list shows them, each with what to give -p
  read                 read the instrument once and show its readings
  watch                read it every --interval seconds, one line per read,
                       until interrupted (Ctrl+C, SIGTERM) or --count reads;
                       a failed read prints its error and the watch goes on;
                       with several addresses (-a 1,3,5-9) each is read in
                       turn, one line each, round after round
  scan [A[-B]]         find the instruments at addresses A to B (default
                       1-247) and the model each looks like; with --sweep
                       at other speeds and parities too
  write threshold1 V   set alarm threshold 1          (MB2-MB4, X-20, X-22)
  write threshold2 V   set alarm threshold 2          (MB2-MB4, X-22)
  write magnet V       set the gas for magnetic calibration  (MB2-MB4)
  write current V      tell the current output value, in mA (MB3, MB4)
  calibrate V          calibrate the concentration reading at V %
  zero                 set the zero of the concentration reading
  reset                reset the concentration calibration to the factory one
  fix [4|20]           fix the current output (MB3, MB4) and, with 4 or 20,
                       drive it at 4 mA or 20 mA
  release              release the fixed current output
  service              switch the instrument to its service protocol (it stops
                       answering MODBUS until it is restarted)
  history SERIAL       the service records of the instrument with this serial
                       number: when it is due for calibration, and each check,
                       calibration, write and command, newest first
  export [SERIAL]      the service records as CSV for a spreadsheet (all
                       instruments, or one), on standard output
  help                 show this help

  V is given in the units the readings show, with a point or a comma: 20.5 or
  20,5.  Every write and command first reads the instrument, then checks the
  value and the instrument&apos;s state as the window does, and refuses with the
  reason what the window would refuse: a threshold 1 above threshold 2, a
  threshold 2 below threshold 1 or above the measuring range, a magnetic
  calibration gas of 0 or above the range, a current outside 0.01 to 50.00 mA,
  a value that is not a register value (below 0 or above 655.35) or that would
  be a command code; calibration, zero and reset while the current output is
  fixed; a value the model does not have.  Then it writes the register and
  shows the instrument&apos;s echo.

  Each write and command the instrument confirms (or that got no answer and
  may have been carried out) is kept in the service records, as the window
  keeps its own: the local file ~/.local/share/orn10util/records.db
  ($XDG_DATA_HOME), and the team server of ~/.config/orn10util/records.conf
  when one is set (records that cannot reach it wait in the local file).
</translation>
    </message>
    <message>
        <source>
Линия:
  -p, --port ПОРТ      последовательный порт: путь к устройству (/dev/ttyUSB0,
                       /dev/serial/by-id/...) или COM&lt;n&gt; (от 1 до 256) —
                       устройство из переменной окружения ORN10_COM&lt;n&gt;, иначе
                       COM&lt;n&gt; системы: /dev/ttyS&lt;n-1&gt; в Linux, COM&lt;n&gt; в Windows
                       (по умолчанию COM1).  Занимается монопольно.  Или линия за сетью:
                         rtu+tcp://УЗЕЛ:ПОРТ  сервер последовательных портов в
                                              режиме raw (TCP-сервер): кадры RTU
                                              как есть
                         tcp://УЗЕЛ[:ПОРТ]    шлюз MODBUS TCP (порт 502)
                         rfc2217://УЗЕЛ:ПОРТ  сервер портов с RFC 2217 (скорость
                                              и чётность порта задаются отсюда)
      --net-timeout МС время, добавляемое к каждому тайм-ауту ответа по сети
                       (по умолчанию 100): путь туда и обратно и куски, на
                       которые сервер портов или шлюз делит ответ
  -s, --speed БОД      1200, 2400, 4800, 9600, 19200 (по умолчанию), 38400,
                       57600 или 115200
  -P, --parity P       none, odd или even (по умолчанию even); 8 бит данных,
                       1 стоп-бит
  -a, --address N      адрес прибора, от 1 до 247 (по умолчанию 1); watch:
                       список адресов и диапазонов (1,3,5-9), у каждого своя
                       модель, если не модель -m (3:X-22, 5-9:MB2)
  -m, --model M        MB1, MB2, MB3, MB4 (по умолчанию), X-20 или X-22: какие
                       регистры читать и как их показывать
  -t, --timeout МС     время, за которое прибор должен начать ответ (по
                       умолчанию 500; scan: время передачи запроса + 40 мс);
                       время передачи самого ответа добавляется, когда он
                       начат, а по сети к обоим ещё --net-timeout
</source>
        <translation>
Line:
  -p, --port PORT      the serial port: a device path (/dev/ttyUSB0,
                       /dev/serial/by-id/...), or COM&lt;n&gt; (1 to 256), the device
                       named by the environment variable ORN10_COM&lt;n&gt;, else the
                       system&apos;s COM&lt;n&gt;: /dev/ttyS&lt;n-1&gt; on Linux, COM&lt;n&gt; on
                       Windows (default COM1).  Taken exclusively.
                       Or a line behind the network:
                         rtu+tcp://HOST:PORT  a device server in raw (TCP
                                              server) mode: RTU frames as they are
                         tcp://HOST[:PORT]    a MODBUS TCP gateway (port 502)
                         rfc2217://HOST:PORT  a device server with RFC 2217 (the
                                              port&apos;s speed and parity set from here)
      --net-timeout MS time added to every answer timeout over the network
                       (default 100): its round trip and the pieces a device
                       server or gateway makes of an answer
  -s, --speed BAUD     1200, 2400, 4800, 9600, 19200 (default), 38400, 57600
                       or 115200
  -P, --parity P       none, odd or even (default even); 8 data bits, 1 stop bit
  -a, --address N      the instrument&apos;s address, 1 to 247 (default 1); watch:
                       a list of addresses and ranges (1,3,5-9), each with
                       its model when not -m&apos;s (3:X-22, 5-9:MB2)
  -m, --model M        MB1, MB2, MB3, MB4 (default), X-20 or X-22: sets which
                       registers are read and how they are shown
  -t, --timeout MS     time the instrument has to begin its answer (default 500;
                       scan: the request&apos;s wire time + 40 ms); the answer&apos;s own
                       wire time is granted on top once it has begun, and over
                       the network --net-timeout on both
</translation>
    </message>
</context>
<context>
    <name>orn::Certificate</name>
    <message>
        <source>Протокол %1 %2 %3.pdf</source>
        <translation>Certificate %1 %2 %3.pdf</translation>
    </message>
    <message>
        <source>Не могу создать папку %1</source>
        <translation>Cannot create the folder %1</translation>
    </message>
    <message>
        <source>Протокол калибровки</source>
        <translation>Calibration certificate</translation>
    </message>
    <message>
        <source>Не могу записать файл %1</source>
        <translation>Cannot write the file %1</translation>
    </message>
    <message>
        <source>%1 — запись № %2 от %3</source>
        <translation>%1 — record %2 of %3</translation>
    </message>
    <message>
        <source>Прибор</source>
        <translation>Instrument</translation>
    </message>
    <message>
        <source>Модель</source>
        <translation>Model</translation>
    </message>
    <message>
        <source>Серийный номер</source>
        <translation>Serial number</translation>
    </message>
    <message>
        <source>Адрес на линии, порт</source>
        <translation>Line address, port</translation>
    </message>
    <message>
        <source>%1, %2</source>
        <translation>%1, %2</translation>
    </message>
    <message>
        <source>Объект, линия</source>
        <translation>Site, line</translation>
    </message>
    <message>
        <source>Поверочная газовая смесь</source>
        <translation>Test gas</translation>
    </message>
    <message>
        <source>Концентрация, %об</source>
        <translation>Concentration, %vol</translation>
    </message>
    <message>
        <source>Партия баллона</source>
        <translation>Cylinder lot</translation>
    </message>
    <message>
        <source>Баллон годен до</source>
        <translation>Cylinder expires</translation>
    </message>
    <message>
        <source>Показания прибора, %об</source>
        <translation>Instrument readings, %vol</translation>
    </message>
    <message>
        <source>Чистый воздух, до подачи газа</source>
        <translation>Clean air, before the gas</translation>
    </message>
    <message>
        <source>Поверочный газ, наибольшее</source>
        <translation>Test gas, highest</translation>
    </message>
    <message>
        <source>Нулевой газ</source>
        <translation>Zero gas</translation>
    </message>
    <message>
        <source>Поверочный газ</source>
        <translation>Test gas</translation>
    </message>
    <message>
        <source>Газ</source>
        <translation>Gas</translation>
    </message>
    <message>
        <source>до настройки</source>
        <translation>before adjustment</translation>
    </message>
    <message>
        <source>после настройки</source>
        <translation>after adjustment</translation>
    </message>
    <message>
        <source>Критерии</source>
        <translation>Criteria</translation>
    </message>
    <message>
        <source>Отправлено в прибор</source>
        <translation>Sent to the instrument</translation>
    </message>
    <message>
        <source>ничего</source>
        <translation>nothing</translation>
    </message>
    <message>
        <source>Примечание</source>
        <translation>Note</translation>
    </message>
    <message>
        <source>Результат</source>
        <translation>Result</translation>
    </message>
    <message>
        <source>Исполнитель</source>
        <translation>Technician</translation>
    </message>
    <message>
        <source>Дата и время</source>
        <translation>Date and time</translation>
    </message>
    <message>
        <source>Программа</source>
        <translation>Program</translation>
    </message>
    <message>
        <source>Представитель заказчика</source>
        <translation>Customer&apos;s representative</translation>
    </message>
    <message>
        <source>подпись</source>
        <translation>signature</translation>
    </message>
    <message>
        <source>фамилия, инициалы</source>
        <translation>name</translation>
    </message>
    <message>
        <source>Дата</source>
        <translation>Date</translation>
    </message>
    <message>
        <source>Запись журнала обслуживания %1</source>
        <translation>Service record %1</translation>
    </message>
</context>
<context>
    <name>orn::Instruments</name>
    <message>
        <source>ОРН10-X-X1 MB1</source>
        <translation>ORN10-X-X1 MB1</translation>
    </message>
    <message>
        <source>ОРН10-X-X1 MB2</source>
        <translation>ORN10-X-X1 MB2</translation>
    </message>
    <message>
        <source>ОРН10-X-X1 MB3</source>
        <translation>ORN10-X-X1 MB3</translation>
    </message>
    <message>
        <source>ОРН10-X-X1 MB4</source>
        <translation>ORN10-X-X1 MB4</translation>
    </message>
    <message>
        <source>ОРН10-X-20</source>
        <translation>ORN10-X-20</translation>
    </message>
    <message>
        <source>ОРН10-X-22</source>
        <translation>ORN10-X-22</translation>
    </message>
    <message>
        <source>%об</source>
        <translation>%vol</translation>
    </message>
    <message>
        <source>С</source>
        <translation>°C</translation>
    </message>
    <message>
        <source>мА</source>
        <translation>mA</translation>
    </message>
    <message>
        <source>с</source>
        <translation>s</translation>
    </message>
    <message>
        <source>Сер. номер</source>
        <translation>Serial no.</translation>
    </message>
    <message>
        <source>Газ, %об.</source>
        <translation>Gas, %vol</translation>
    </message>
    <message>
        <source>t, С</source>
        <translation>t, °C</translation>
    </message>
    <message>
        <source>Статус</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>Диапазон измер., %об</source>
        <translation>Range, %vol</translation>
    </message>
    <message>
        <source>Порог №1, %об</source>
        <translation>Threshold 1, %vol</translation>
    </message>
    <message>
        <source>Порог №2, %об</source>
        <translation>Threshold 2, %vol</translation>
    </message>
    <message>
        <source>Газ магн. град-ки, %об</source>
        <translation>Magnet cal. gas, %vol</translation>
    </message>
    <message>
        <source>Ток, мА</source>
        <translation>Current, mA</translation>
    </message>
    <message>
        <source>Время работы, с</source>
        <translation>Operating time, s</translation>
    </message>
    <message>
        <source>Версия ПО</source>
        <translation>Firmware version</translation>
    </message>
    <message>
        <source>Интервал опросов, с</source>
        <translation>Poll interval, s</translation>
    </message>
    <message>
        <source>Дата</source>
        <translation>Date</translation>
    </message>
    <message>
        <source>Время</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>00</source>
        <translation>00</translation>
    </message>
    <message>
        <source>Ошибка 01 (неверный адрес регистра) </source>
        <translation>Error 01 (wrong register address) </translation>
    </message>
    <message>
        <source>Ошибка 02 (неверное значение)</source>
        <translation>Error 02 (wrong value)</translation>
    </message>
    <message>
        <source>Ошибка 03</source>
        <translation>Error 03</translation>
    </message>
    <message>
        <source>Ошибка 04</source>
        <translation>Error 04</translation>
    </message>
    <message>
        <source>Ошибка 05</source>
        <translation>Error 05</translation>
    </message>
    <message>
        <source>Ошибка 06</source>
        <translation>Error 06</translation>
    </message>
    <message>
        <source>Нет связи</source>
        <translation>No response</translation>
    </message>
    <message>
        <source>Ошибка 08</source>
        <translation>Error 08</translation>
    </message>
    <message>
        <source>Ошибка 09 (CRC)</source>
        <translation>Error 09 (CRC)</translation>
    </message>
    <message>
        <source>Ошибка 10 (прибор занят)</source>
        <translation>Error 10 (device busy)</translation>
    </message>
    <message>
        <source>Ошибка 11 (порт не инициирован)</source>
        <translation>Error 11 (port not open)</translation>
    </message>
</context>
<context>
    <name>orn::Ports</name>
    <message>
        <source>Нет доступа к порту: добавьте себя в группу dialout и войдите в систему заново.</source>
        <translation>No access to the port: add yourself to the group dialout and log in again.</translation>
    </message>
    <message>
        <source>Порт занят другой программой: закройте её или выберите другой порт.</source>
        <translation>The port is held by another program: close it or choose another port.</translation>
    </message>
    <message>
        <source>Устройство отключено: подключите его и выберите порт в списке.</source>
        <translation>The device is unplugged: plug it in and choose the port in the list.</translation>
    </message>
    <message>
        <source>Это не последовательный порт: выберите другой порт.</source>
        <translation>This is not a serial port: choose another port.</translation>
    </message>
    <message>
        <source>Ошибка системы: %1</source>
        <translation>System error: %1</translation>
    </message>
    <message>
        <source>Имя узла не найдено: проверьте адрес.</source>
        <translation>Host name not found: check the address.</translation>
    </message>
    <message>
        <source>Соединение отвергнуто: на этом порту узла никто не ждёт соединения. Проверьте порт и включён ли преобразователь.</source>
        <translation>Connection refused: nothing listens on that port of the host. Check the port and whether the device server is on.</translation>
    </message>
    <message>
        <source>Нет маршрута к узлу: проверьте адрес и подключение к сети.</source>
        <translation>No route to the host: check the address and the network connection.</translation>
    </message>
    <message>
        <source>Узел не отвечает: проверьте адрес и подключение к сети.</source>
        <translation>The host does not answer: check the address and the network connection.</translation>
    </message>
    <message>
        <source>Соединение закрыто другой стороной.</source>
        <translation>Connection closed by the peer.</translation>
    </message>
    <message>
        <source>Узел отвечает не по выбранному протоколу: проверьте протокол.</source>
        <translation>The host does not speak the chosen protocol: check the protocol.</translation>
    </message>
</context>
<context>
    <name>orn::TCalibrationDialog</name>
    <message>
        <source>Калибровка</source>
        <translation>Calibration</translation>
    </message>
    <message>
        <source>Проверка газом (bump test)</source>
        <translation>Bump test</translation>
    </message>
    <message>
        <source>Установка нуля</source>
        <translation>Zero</translation>
    </message>
    <message>
        <source>Градуировка</source>
        <translation>Calibration</translation>
    </message>
    <message>
        <source>Ноль и градуировка</source>
        <translation>Zero and calibration</translation>
    </message>
    <message>
        <source>Вид работ:</source>
        <translation>Work:</translation>
    </message>
    <message>
        <source>ПГС, %об:</source>
        <translation>Test gas, %vol:</translation>
    </message>
    <message>
        <source>Партия баллона:</source>
        <translation>Cylinder lot:</translation>
    </message>
    <message>
        <source>Баллон годен до:</source>
        <translation>Cylinder expires:</translation>
    </message>
    <message>
        <source>Исполнитель:</source>
        <translation>Technician:</translation>
    </message>
    <message>
        <source>Объект, линия:</source>
        <translation>Site, line:</translation>
    </message>
    <message>
        <source>Примечание:</source>
        <translation>Note:</translation>
    </message>
    <message>
        <source>Критерии</source>
        <translation>Criteria</translation>
    </message>
    <message>
        <source> %об</source>
        <translation> %vol</translation>
    </message>
    <message>
        <source> с</source>
        <translation> s</translation>
    </message>
    <message>
        <source> % ПГС</source>
        <translation> % of test gas</translation>
    </message>
    <message>
        <source>Стабильно: в пределах ±</source>
        <translation>Stable: within ±</translation>
    </message>
    <message>
        <source>в течение</source>
        <translation>for</translation>
    </message>
    <message>
        <source>Проверка газом: не менее</source>
        <translation>Bump test: at least</translation>
    </message>
    <message>
        <source>за</source>
        <translation>within</translation>
    </message>
    <message>
        <source>После настройки показание должно быть в пределах того же допуска от нуля и от ПГС.</source>
        <translation>After adjustment the reading must be within the same tolerance of zero and of the test gas.</translation>
    </message>
    <message>
        <source>Отмена в любой момент оставляет прибор как есть, кроме уже отправленных команд (ноль, градуировка): они остаются в приборе и записываются в журнал.</source>
        <translation>Cancelling at any time leaves the instrument as it is, except for commands already sent (zero, calibration): they stay in the instrument and are recorded.</translation>
    </message>
    <message>
        <source>Начать</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>Закрыть</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>Газ подан</source>
        <translation>Gas applied</translation>
    </message>
    <message>
        <source>Установить ноль</source>
        <translation>Set zero</translation>
    </message>
    <message>
        <source>Градуировать</source>
        <translation>Calibrate</translation>
    </message>
    <message>
        <source>Отменить</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Протокол…</source>
        <translation>Certificate…</translation>
    </message>
    <message>
        <source>Новая сессия</source>
        <translation>New session</translation>
    </message>
    <message>
        <source>Прибор: %1, адрес %2, %3</source>
        <translation>Instrument: %1, address %2, %3</translation>
    </message>
    <message>
        <source>не задан</source>
        <translation>not set</translation>
    </message>
    <message>
        <source>В главном окне не задан адрес прибора (1–247).</source>
        <translation>No instrument address (1–247) is set in the main window.</translation>
    </message>
    <message>
        <source>Концентрация ПГС должна быть числом от 0,01 до 655,34 %об.</source>
        <translation>The test gas concentration must be a number from 0.01 to 655.34 %vol.</translation>
    </message>
    <message>
        <source>Укажите партию баллона с ПГС.</source>
        <translation>Enter the test gas cylinder&apos;s lot.</translation>
    </message>
    <message>
        <source>Баллон просрочен: годен до %1. Возьмите баллон с действующим сроком годности.</source>
        <translation>The cylinder has expired: it was good until %1. Take a cylinder within its expiry date.</translation>
    </message>
    <message>
        <source>Укажите исполнителя.</source>
        <translation>Enter the technician.</translation>
    </message>
    <message>
        <source>Команда не отправлена: значение не подходит для записи.</source>
        <translation>Command not sent: the value cannot be written.</translation>
    </message>
    <message>
        <source>Команда не отправлена: в главном окне неверный адрес.</source>
        <translation>Command not sent: the address in the main window is wrong.</translation>
    </message>
    <message>
        <source>Команда не отправлена: порт не открывается.</source>
        <translation>Command not sent: the port cannot be opened.</translation>
    </message>
    <message>
        <source>Команда не отправлена: сначала считайте показания прибора.</source>
        <translation>Command not sent: read the instrument first.</translation>
    </message>
    <message>
        <source>Команда не отправлена: окно не разрешает градуировку (ток зафиксирован или прибор не прочитан).</source>
        <translation>Command not sent: the window does not allow calibration (output fixed or instrument not read).</translation>
    </message>
    <message>
        <source>В главном окне выбран другой прибор: сессия ждёт, пока снова не будут выбраны адрес %1 и модель %2.</source>
        <translation>Another instrument is chosen in the main window: the session waits until address %1 and model %2 are chosen again.</translation>
    </message>
    <message>
        <source>Прибор не подтвердил команду (%1): возможно, он её выполнил. Дождитесь стабильных показаний; команду можно повторить.</source>
        <translation>The instrument did not confirm the command (%1): it may have carried it out. Wait for stable readings; the command can be repeated.</translation>
    </message>
    <message>
        <source>Прибор отказал: %1.</source>
        <translation>The instrument refused: %1.</translation>
    </message>
    <message>
        <source>Прибор: %1, адрес %2, %3 — сер. номер %4</source>
        <translation>Instrument: %1, address %2, %3 — serial no. %4</translation>
    </message>
    <message>
        <source>ещё не прочитан</source>
        <translation>not read yet</translation>
    </message>
    <message>
        <source>Прибор на чистом воздухе: берём показание до подачи газа…</source>
        <translation>Instrument in clean air: taking the reading before the gas…</translation>
    </message>
    <message>
        <source>Подайте ПГС %1 %об и нажмите «Газ подан».</source>
        <translation>Apply test gas %1 %vol and press “Gas applied”.</translation>
    </message>
    <message>
        <source>Газ подан. Нужно не менее %1 %об (%2 % ПГС) за %3 с; осталось %4 с.</source>
        <translation>Gas applied. At least %1 %vol (%2 % of test gas) is needed within %3 s; %4 s left.</translation>
    </message>
    <message>
        <source>Подайте нулевой газ (чистый воздух) и дождитесь стабильных показаний; затем «Установить ноль».</source>
        <translation>Apply zero gas (clean air) and wait for stable readings; then “Set zero”.</translation>
    </message>
    <message>
        <source>Команда установки нуля отправлена…</source>
        <translation>Zero command sent…</translation>
    </message>
    <message>
        <source>Ноль установлен. Ждём стабильных показаний после него…</source>
        <translation>Zero set. Waiting for stable readings after it…</translation>
    </message>
    <message>
        <source>Подайте ПГС %1 %об и дождитесь стабильных показаний; затем «Градуировать».</source>
        <translation>Apply test gas %1 %vol and wait for stable readings; then “Calibrate”.</translation>
    </message>
    <message>
        <source>Команда градуировки отправлена…</source>
        <translation>Calibration command sent…</translation>
    </message>
    <message>
        <source>Градуировка выполнена. Ждём стабильных показаний после неё…</source>
        <translation>Calibrated. Waiting for stable readings after it…</translation>
    </message>
    <message>
        <source>Готово: %1. Запись внесена в журнал. Уберите газ с прибора.</source>
        <translation>Done: %1. The record is kept. Remove the gas from the instrument.</translation>
    </message>
    <message>
        <source>Сессия отменена. В прибор ничего не отправлено, прибор не изменён.</source>
        <translation>Session cancelled. Nothing was sent to the instrument; it is unchanged.</translation>
    </message>
    <message>
        <source>Сессия отменена. Отправленное (%1) осталось в приборе и записано в журнал; больше ничего не отправлено.</source>
        <translation>Session cancelled. What was sent (%1) stays in the instrument and is recorded; nothing more was sent.</translation>
    </message>
    <message>
        <source>%1 %об</source>
        <translation>%1 %vol</translation>
    </message>
    <message>
        <source>— %об</source>
        <translation>— %vol</translation>
    </message>
    <message>
        <source>● Стабильно (±%1 %об, %2 с)</source>
        <translation>● Stable (±%1 %vol, %2 s)</translation>
    </message>
    <message>
        <source>○ Ждём стабильности: %1 с из %2</source>
        <translation>○ Waiting for stability: %1 s of %2</translation>
    </message>
    <message>
        <source>Чистый воздух: %1 %об; наибольшее с газом: %2 %об.</source>
        <translation>Clean air: %1 %vol; highest with gas: %2 %vol.</translation>
    </message>
    <message>
        <source>Ноль: до %1 → после %2 %об.  </source>
        <translation>Zero: before %1 → after %2 %vol.  </translation>
    </message>
    <message>
        <source>ПГС %1: до %2 → после %3 %об.</source>
        <translation>Test gas %1: before %2 → after %3 %vol.</translation>
    </message>
    <message>
        <source>  Результат: %1.</source>
        <translation>  Result: %1.</translation>
    </message>
    <message>
        <source>Протокол калибровки</source>
        <translation>Calibration certificate</translation>
    </message>
</context>
<context>
    <name>orn::TCalibrationSession</name>
    <message>
        <source>не менее %1 % ПГС за %2 с</source>
        <translation>at least %1 % of test gas within %2 s</translation>
    </message>
    <message>
        <source>стабильно ±%1 %об %2 с; после настройки ±%1 %об</source>
        <translation>stable ±%1 %vol for %2 s; after adjustment ±%1 %vol</translation>
    </message>
    <message>
        <source>доля ПГС достигнута за %1 с</source>
        <translation>test gas share reached in %1 s</translation>
    </message>
    <message>
        <source>без подтверждения: </source>
        <translation>unconfirmed: </translation>
    </message>
    <message>
        <source>без подтверждения прибора: </source>
        <translation>unconfirmed by the instrument: </translation>
    </message>
</context>
<context>
    <name>orn::TDlgForm</name>
    <message>
        <source>Задать новое значение</source>
        <translation>Set a new value</translation>
    </message>
    <message>
        <source>Задать</source>
        <translation>Set</translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>не число</source>
        <translation>not a number</translation>
    </message>
    <message>
        <source>%1 — код команды, а не концентрация</source>
        <translation>%1 is a command code, not a concentration</translation>
    </message>
    <message>
        <source>допустимые значения известны после чтения прибора</source>
        <translation>allowed values are known after a read</translation>
    </message>
    <message>
        <source>сейчас допустимых значений нет (%1)</source>
        <translation>no value is allowed now (%1)</translation>
    </message>
    <message>
        <source>допустимо %1</source>
        <translation>allowed %1</translation>
    </message>
</context>
<context>
    <name>orn::THistoryView</name>
    <message>
        <source>Журнал обслуживания</source>
        <translation>Service records</translation>
    </message>
    <message>
        <source>все</source>
        <translation>all</translation>
    </message>
    <message>
        <source>с</source>
        <translation>from</translation>
    </message>
    <message>
        <source>Показать</source>
        <translation>Show</translation>
    </message>
    <message>
        <source>Сер. номер:</source>
        <translation>Serial no.:</translation>
    </message>
    <message>
        <source>Адрес:</source>
        <translation>Addr.:</translation>
    </message>
    <message>
        <source>по</source>
        <translation>to</translation>
    </message>
    <message>
        <source>Модель</source>
        <translation>Model</translation>
    </message>
    <message>
        <source>Сер. номер</source>
        <translation>Serial no.</translation>
    </message>
    <message>
        <source>Адрес</source>
        <translation>Address</translation>
    </message>
    <message>
        <source>Объект, линия</source>
        <translation>Site, line</translation>
    </message>
    <message>
        <source>Последняя градуировка</source>
        <translation>Last calibration</translation>
    </message>
    <message>
        <source>Интервал, мес.</source>
        <translation>Interval, months</translation>
    </message>
    <message>
        <source>Следующая</source>
        <translation>Next</translation>
    </message>
    <message>
        <source>Состояние</source>
        <translation>State</translation>
    </message>
    <message>
        <source>Дата и время</source>
        <translation>Date and time</translation>
    </message>
    <message>
        <source>Вид работ</source>
        <translation>Work</translation>
    </message>
    <message>
        <source>Отправлено</source>
        <translation>Sent</translation>
    </message>
    <message>
        <source>Ноль до → после</source>
        <translation>Zero before → after</translation>
    </message>
    <message>
        <source>Газ до → после</source>
        <translation>Gas before → after</translation>
    </message>
    <message>
        <source>ПГС</source>
        <translation>Test gas</translation>
    </message>
    <message>
        <source>Результат</source>
        <translation>Result</translation>
    </message>
    <message>
        <source>Исполнитель</source>
        <translation>Technician</translation>
    </message>
    <message>
        <source>Интервал…</source>
        <translation>Interval…</translation>
    </message>
    <message>
        <source>Протокол…</source>
        <translation>Certificate…</translation>
    </message>
    <message>
        <source>Работы в CSV…</source>
        <translation>Work to CSV…</translation>
    </message>
    <message>
        <source>Приборы и сроки в CSV…</source>
        <translation>Instruments and due dates to CSV…</translation>
    </message>
    <message>
        <source>Сервер…</source>
        <translation>Server…</translation>
    </message>
    <message>
        <source>Общий журнал группы на сервере PostgreSQL</source>
        <translation>The team&apos;s shared records on a PostgreSQL server</translation>
    </message>
    <message>
        <source>orn10-работы.csv</source>
        <translation>orn10-work.csv</translation>
    </message>
    <message>
        <source>orn10-приборы.csv</source>
        <translation>orn10-instruments.csv</translation>
    </message>
    <message>
        <source>Сохранить как CSV</source>
        <translation>Save as CSV</translation>
    </message>
    <message>
        <source>Таблица CSV (*.csv);;Все файлы (*)</source>
        <translation>CSV table (*.csv);;All files (*)</translation>
    </message>
    <message>
        <source>Интервал градуировки</source>
        <translation>Calibration interval</translation>
    </message>
    <message>
        <source>Интервал между градуировками, месяцев:</source>
        <translation>Months between calibrations:</translation>
    </message>
    <message>
        <source>Читаю журнал…</source>
        <translation>Reading the records…</translation>
    </message>
    <message>
        <source>нет</source>
        <translation>none</translation>
    </message>
    <message>
        <source>—</source>
        <translation>—</translation>
    </message>
    <message>
        <source>ПРОСРОЧЕНА</source>
        <translation>OVERDUE</translation>
    </message>
    <message>
        <source>градуировок нет</source>
        <translation>never calibrated</translation>
    </message>
    <message>
        <source>в срок</source>
        <translation>in time</translation>
    </message>
    <message>
        <source>Журнал не читается: %1</source>
        <translation>The records cannot be read: %1</translation>
    </message>
    <message>
        <source> — читаю общий журнал на сервере…</source>
        <translation> — reading the shared records on the server…</translation>
    </message>
    <message>
        <source> — общий журнал на сервере недоступен (%1): показаны записи этого компьютера</source>
        <translation> — the shared records on the server are unavailable (%1): this computer&apos;s records are shown</translation>
    </message>
    <message>
        <source> — показан общий журнал сервера</source>
        <translation> — the server&apos;s shared records are shown</translation>
    </message>
    <message>
        <source>Выберите в списке работ проверку или калибровку: протокол составляется по ним.</source>
        <translation>Choose a check or calibration in the list of work: certificates are made for them.</translation>
    </message>
    <message>
        <source>Общий журнал на сервере</source>
        <translation>Shared records on a server</translation>
    </message>
    <message>
        <source>host=сервер dbname=orn10 user=инженер password=…</source>
        <translation>host=server dbname=orn10 user=engineer password=…</translation>
    </message>
    <message>
        <source>Проверить</source>
        <translation>Test</translation>
    </message>
    <message>
        <source>Записи всегда сохраняются в файле этого компьютера:
%1
С сервером PostgreSQL их получает и общий журнал группы; пока сервер недоступен, они ждут здесь и уходят, когда он вернётся. Пусто — только этот компьютер.</source>
        <translation>Records are always kept in a file on this computer:
%1
With a PostgreSQL server the team&apos;s shared records get them too; while the server is unavailable they wait here and go when it is back. Empty: this computer only.</translation>
    </message>
    <message>
        <source>Строка подключения:</source>
        <translation>Connection string:</translation>
    </message>
    <message>
        <source>Эта сборка программы не работает с PostgreSQL.</source>
        <translation>This build of the program does not work with PostgreSQL.</translation>
    </message>
    <message>
        <source>Проверяю…</source>
        <translation>Testing…</translation>
    </message>
    <message>
        <source>Сервер отвечает, журнал на нём готов.</source>
        <translation>The server answers; the records there are ready.</translation>
    </message>
</context>
<context>
    <name>orn::TLineWindow</name>
    <message>
        <source>Линия</source>
        <translation>Line</translation>
    </message>
    <message>
        <source>Сохранить список приборов линии</source>
        <translation>Save the line&apos;s instrument list</translation>
    </message>
    <message>
        <source>Список приборов линии (*.orn10line);;Все файлы (*)</source>
        <translation>Line instrument list (*.orn10line);;All files (*)</translation>
    </message>
    <message>
        <source>Открыть список приборов линии</source>
        <translation>Open a line&apos;s instrument list</translation>
    </message>
    <message>
        <source>Уставки на выбранные приборы</source>
        <translation>Settings to the selected instruments</translation>
    </message>
    <message>
        <source>порог №1</source>
        <translation>threshold 1</translation>
    </message>
    <message>
        <source>порог №2</source>
        <translation>threshold 2</translation>
    </message>
    <message>
        <source>газ магнитной градуировки</source>
        <translation>magnetic calibration gas</translation>
    </message>
    <message>
        <source>Записать</source>
        <translation>Write</translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Поиск приборов на линии</source>
        <translation>Search the line for instruments</translation>
    </message>
    <message>
        <source>авто</source>
        <translation>auto</translation>
    </message>
    <message>
        <source> мс</source>
        <translation> ms</translation>
    </message>
    <message>
        <source>Сколько ждать начала ответа прибора при поиске и опросе; «авто» — время передачи запроса и 40 мс. Медленным приборам дайте больше.</source>
        <translation>How long to wait for an instrument&apos;s answer to begin while searching and polling; “auto”: the request&apos;s wire time and 40 ms. Give slow instruments more.</translation>
    </message>
    <message>
        <source>Адреса с</source>
        <translation>Addresses from</translation>
    </message>
    <message>
        <source>по</source>
        <translation>to</translation>
    </message>
    <message>
        <source>Ожидание ответа:</source>
        <translation>Answer timeout:</translation>
    </message>
    <message>
        <source>Перебрать скорости и чётности:</source>
        <translation>Try speeds and parities:</translation>
    </message>
    <message>
        <source>Когда настройки связи приборов неизвестны. Обычные настройки проверяются первыми; для каждого прибора показано, на каких он ответил.</source>
        <translation>When the instruments&apos; line settings are not known. The usual settings are tried first; each instrument shows the settings it answered at.</translation>
    </message>
    <message>
        <source>нет</source>
        <translation>none</translation>
    </message>
    <message>
        <source>нечёт</source>
        <translation>odd</translation>
    </message>
    <message>
        <source>чёт</source>
        <translation>even</translation>
    </message>
    <message>
        <source>Найти приборы</source>
        <translation>Find instruments</translation>
    </message>
    <message>
        <source>Адрес</source>
        <translation>Address</translation>
    </message>
    <message>
        <source>Модель</source>
        <translation>Model</translation>
    </message>
    <message>
        <source>Связь</source>
        <translation>Connection</translation>
    </message>
    <message>
        <source>Сер. номер</source>
        <translation>Serial no.</translation>
    </message>
    <message>
        <source>Газ, %об</source>
        <translation>Gas, %vol</translation>
    </message>
    <message>
        <source>Порог 1</source>
        <translation>Threshold 1</translation>
    </message>
    <message>
        <source>Порог 2</source>
        <translation>Threshold 2</translation>
    </message>
    <message>
        <source>Статус</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>Ток</source>
        <translation>Current output</translation>
    </message>
    <message>
        <source>Прочитан</source>
        <translation>Read at</translation>
    </message>
    <message>
        <source>Ошибка</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Запись уставок</source>
        <translation>Settings write</translation>
    </message>
    <message>
        <source>Двойной щелчок — выбрать прибор в главном окне и прочитать его.</source>
        <translation>Double click: choose the instrument in the main window and read it.</translation>
    </message>
    <message>
        <source>Опрашивать по кругу</source>
        <translation>Poll round-robin</translation>
    </message>
    <message>
        <source>непрерывно</source>
        <translation>continuously</translation>
    </message>
    <message>
        <source>не чаще раза в %1 с</source>
        <translation>at most once every %1 s</translation>
    </message>
    <message>
        <source>Записывать опрос в журнал показаний</source>
        <translation>Log the polling to the readings log</translation>
    </message>
    <message>
        <source>Каждое чтение прибора из таблицы — строка в файле журнала показаний, пока идёт запись (меню «Сервис», Ctrl+L).</source>
        <translation>Each read of an instrument of the table is a row in the readings log file while the log runs (menu “Service”, Ctrl+L).</translation>
    </message>
    <message>
        <source>Добавить</source>
        <translation>Add</translation>
    </message>
    <message>
        <source>Добавить прибор с этим адресом и моделью на скорости и чётности главного окна.</source>
        <translation>Add an instrument with this address and model at the main window&apos;s speed and parity.</translation>
    </message>
    <message>
        <source>Удалить</source>
        <translation>Remove</translation>
    </message>
    <message>
        <source>Уставки на выбранные…</source>
        <translation>Settings to selected…</translation>
    </message>
    <message>
        <source>Записать пороги (и газ магнитной градуировки) текущей строки в остальные выделенные приборы, с проверкой каждого значения и чтением после записи.</source>
        <translation>Write the thresholds (and the magnetic calibration gas) of the current row to the other selected instruments, each value checked and read back after the write.</translation>
    </message>
    <message>
        <source>Открыть…</source>
        <translation>Open…</translation>
    </message>
    <message>
        <source>Сохранить…</source>
        <translation>Save…</translation>
    </message>
    <message>
        <source>Адрес:</source>
        <translation>Addr.:</translation>
    </message>
    <message>
        <source>Сделайте текущей строку прибора, с которого берутся уставки, и выделите вместе с ней строки приборов, в которые их записать (Ctrl+щелчок).</source>
        <translation>Make the row of the instrument whose settings are taken the current one, and select with it the rows of the instruments to write them to (Ctrl+click).</translation>
    </message>
    <message>
        <source>У прибора №%1 нет прочитанных порогов: дождитесь его чтения.</source>
        <translation>Instrument #%1 has no thresholds read: wait for its read.</translation>
    </message>
    <message>
        <source>Записать уставки прибора №%1 (%2) в приборы: %3?

Каждый прибор сначала читается; значение, которое он не примет (порог №1 выше порога №2, порог №2 выше диапазона), не записывается. После записи прибор читается снова.</source>
        <translation>Write the settings of instrument #%1 (%2) to the instruments: %3?

Each instrument is read first; a value it would not accept (threshold 1 above threshold 2, threshold 2 above the range) is not written. After the write the instrument is read again.</translation>
    </message>
    <message>
        <source>Выбрать в главном окне</source>
        <translation>Choose in the main window</translation>
    </message>
    <message>
        <source>%1 ч %2 мин</source>
        <translation>%1 h %2 min</translation>
    </message>
    <message>
        <source>%1 мин %2 с</source>
        <translation>%1 min %2 s</translation>
    </message>
    <message>
        <source>%1 с</source>
        <translation>%1 s</translation>
    </message>
    <message>
        <source>Первый адрес больше последнего.</source>
        <translation>The first address is above the last.</translation>
    </message>
    <message>
        <source>Выберите хотя бы одну скорость и одну чётность.</source>
        <translation>Choose at least one speed and one parity.</translation>
    </message>
    <message>
        <source>настроек связи: %1</source>
        <translation>line settings: %1</translation>
    </message>
    <message>
        <source>Адресов: %1, %2 — около %3.</source>
        <translation>Addresses: %1, %2 — about %3.</translation>
    </message>
    <message>
        <source>Стоп</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>газ магн. градуировки</source>
        <translation>magnet cal. gas</translation>
    </message>
    <message>
        <source>? (укажите)</source>
        <translation>? (choose)</translation>
    </message>
    <message>
        <source>Модель указана вручную</source>
        <translation>Model chosen by hand</translation>
    </message>
    <message>
        <source>Модель определена поиском по числу регистров</source>
        <translation>Model found by the search from the number of registers</translation>
    </message>
    <message>
        <source>ток фиксирован</source>
        <translation>output fixed</translation>
    </message>
    <message>
        <source>фиксирован</source>
        <translation>fixed</translation>
    </message>
    <message>
        <source>Не ниже порога №2</source>
        <translation>Not below threshold 2</translation>
    </message>
    <message>
        <source>Не ниже порога №1</source>
        <translation>Not below threshold 1</translation>
    </message>
    <message>
        <source>сейчас</source>
        <translation>now</translation>
    </message>
    <message>
        <source>%1 с назад</source>
        <translation>%1 s ago</translation>
    </message>
    <message>
        <source>%1 мин назад</source>
        <translation>%1 min ago</translation>
    </message>
    <message>
        <source>Порт %1 не открывается%2.</source>
        <translation>The port %1 cannot be opened%2.</translation>
    </message>
    <message>
        <source>Поиск на %1…</source>
        <translation>Searching at %1…</translation>
    </message>
    <message>
        <source>№%1, %2 — найдено: %3</source>
        <translation>#%1, %2 — found: %3</translation>
    </message>
    <message>
        <source>Порт %1 перестал работать: %2.</source>
        <translation>The port %1 stopped working: %2.</translation>
    </message>
    <message>
        <source>Найдено приборов: %1.</source>
        <translation>Instruments found: %1.</translation>
    </message>
    <message>
        <source>Поиск прерван: порт не работает.</source>
        <translation>Search broken off: the port does not work.</translation>
    </message>
    <message>
        <source>Поиск остановлен.</source>
        <translation>Search stopped.</translation>
    </message>
    <message>
        <source>Таблица — линии %1, а в главном окне выбран порт %2: опрос ждёт.</source>
        <translation>The table is of line %1, but the main window has port %2: polling waits.</translation>
    </message>
    <message>
        <source>ждёт записи</source>
        <translation>waiting to write</translation>
    </message>
    <message>
        <source>Запись уставок: 0 из %1…</source>
        <translation>Writing settings: 0 of %1…</translation>
    </message>
    <message>
        <source>модель неизвестна: ничего не записано</source>
        <translation>model unknown: nothing written</translation>
    </message>
    <message>
        <source>%1 не записан: вне %2…%3</source>
        <translation>%1 not written: outside %2…%3</translation>
    </message>
    <message>
        <source>порт не открывается</source>
        <translation>the port cannot be opened</translation>
    </message>
    <message>
        <source>не прочитан (%1): ничего не записано</source>
        <translation>not read (%1): nothing written</translation>
    </message>
    <message>
        <source>%1: нет у этой модели</source>
        <translation>%1: this model has none</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>не прочитан после записи (%1)</source>
        <translation>not read after the write (%1)</translation>
    </message>
    <message>
        <source>%1: прочитано %2</source>
        <translation>%1: read %2</translation>
    </message>
    <message>
        <source>записано: %1</source>
        <translation>written: %1</translation>
    </message>
    <message>
        <source>уставки прибора №%1</source>
        <translation>settings of instrument #%1</translation>
    </message>
    <message>
        <source>Запись уставок закончена: %1 приборов; итог каждого — в столбце «Запись уставок».</source>
        <translation>Settings written: %1 instruments; each one&apos;s outcome is in the column “Settings write”.</translation>
    </message>
    <message>
        <source>Запись уставок: %1 из %2…</source>
        <translation>Writing settings: %1 of %2…</translation>
    </message>
    <message>
        <source>Модель прибора №%1 неизвестна: укажите её (правая кнопка мыши → «Модель»).</source>
        <translation>The model of instrument #%1 is unknown: choose it (right mouse button → “Model”).</translation>
    </message>
    <message>
        <source>В главном окне идёт поиск: прибор передаётся после него.</source>
        <translation>The main window is searching: the instrument is handed over after it.</translation>
    </message>
    <message>
        <source>Дождитесь конца поиска или записи уставок.</source>
        <translation>Wait for the search or the settings write to end.</translation>
    </message>
    <message>
        <source>Не могу прочитать %1: %2</source>
        <translation>Cannot read %1: %2</translation>
    </message>
    <message>
        <source>%1 — не список приборов линии (%2).</source>
        <translation>%1 is not a line instrument list (%2).</translation>
    </message>
    <message>
        <source>Открыт список %1: приборов %2 (сохранён для порта %3); опрос — через порт %4.</source>
        <translation>Opened the list %1: %2 instruments (saved for port %3); polling through port %4.</translation>
    </message>
</context>
<context>
    <name>orn::TMForm</name>
    <message>
        <source>Связь</source>
        <translation>Connection</translation>
    </message>
    <message>
        <source>Порт:</source>
        <translation>Port:</translation>
    </message>
    <message>
        <source>Скорость:</source>
        <translation>Speed:</translation>
    </message>
    <message>
        <source>Чётность:</source>
        <translation>Parity:</translation>
    </message>
    <message>
        <source>Найти</source>
        <translation>Search</translation>
    </message>
    <message>
        <source>Прибор</source>
        <translation>Instrument</translation>
    </message>
    <message>
        <source>Тип:</source>
        <translation>Kind</translation>
    </message>
    <message>
        <source>Адрес:</source>
        <translation>Addr.:</translation>
    </message>
    <message>
        <source>Сервис</source>
        <translation>Service</translation>
    </message>
    <message>
        <source>Обмен по линии, график, запись показаний в файл</source>
        <translation>Line traffic, trend, readings log to a file</translation>
    </message>
    <message>
        <source>Переключить</source>
        <translation>Switch</translation>
    </message>
    <message>
        <source>Переключить на работу с ORN терминалом</source>
        <translation>Switch to the ORN terminal protocol</translation>
    </message>
    <message>
        <source>Показания:</source>
        <translation>Readings:</translation>
    </message>
    <message>
        <source>Задать новый порог</source>
        <translation>Set a new threshold</translation>
    </message>
    <message>
        <source>Задать новую концентрацию газа для магнитной градуировки</source>
        <translation>Set a new gas concentration for magnetic calibration</translation>
    </message>
    <message>
        <source>Указать текущее значение тока (только для границ диапазона)</source>
        <translation>Tell the present current value (range ends only)</translation>
    </message>
    <message>
        <source>Авто</source>
        <translation>Auto</translation>
    </message>
    <message>
        <source>Читать</source>
        <translation>Read</translation>
    </message>
    <message>
        <source>Считать текущие показания из прибора</source>
        <translation>Read the instrument&apos;s present readings</translation>
    </message>
    <message>
        <source>Уст. 0</source>
        <translation>Set 0</translation>
    </message>
    <message>
        <source>Установка нуля показаний по концентрации</source>
        <translation>Set the zero of the concentration reading</translation>
    </message>
    <message>
        <source>Градуировка</source>
        <translation>Calibrate</translation>
    </message>
    <message>
        <source>Градуировка показаний по концентрации</source>
        <translation>Calibrate the concentration reading</translation>
    </message>
    <message>
        <source>Сброс</source>
        <translation>Reset</translation>
    </message>
    <message>
        <source>Сброс градуировки показаний по концентрации к заводской</source>
        <translation>Reset the concentration calibration to the factory one</translation>
    </message>
    <message>
        <source>Ток</source>
        <translation>Current output</translation>
    </message>
    <message>
        <source>Фиксировать</source>
        <translation>Fix</translation>
    </message>
    <message>
        <source>4мА</source>
        <translation>4mA</translation>
    </message>
    <message>
        <source>20мА</source>
        <translation>20mA</translation>
    </message>
    <message>
        <source>%1: не могу открыть порт</source>
        <translation>%1: cannot open the port</translation>
    </message>
    <message>
        <source>Ошибка:
 Не могу открыть порт!</source>
        <translation>Error:
 Cannot open the port!</translation>
    </message>
    <message>
        <source> — порт снова доступен</source>
        <translation> — port available again</translation>
    </message>
    <message>
        <source>№%1</source>
        <translation>#%1</translation>
    </message>
    <message>
        <source>: Переключен на служебный протокол</source>
        <translation>: Switched to the service protocol</translation>
    </message>
    <message>
        <source>установка нуля</source>
        <translation>zero set</translation>
    </message>
    <message>
        <source>сброс градуировки к заводской</source>
        <translation>calibration reset to factory</translation>
    </message>
    <message>
        <source>ток выхода 4 мА</source>
        <translation>output current 4 mA</translation>
    </message>
    <message>
        <source>ток выхода 20 мА</source>
        <translation>output current 20 mA</translation>
    </message>
    <message>
        <source>градуировка при %1</source>
        <translation>calibration at %1</translation>
    </message>
    <message>
        <source>Записано: %1 (%2). Показание обновится при следующем чтении.</source>
        <translation>Written: %1 (%2). The reading is updated with the next read.</translation>
    </message>
    <message>
        <source>устарели: №%1 (%2, %3)</source>
        <translation>stale: #%1 (%2, %3)</translation>
    </message>
    <message>
        <source>устарели: №%1 (%2, %3) в %4</source>
        <translation>stale: #%1 (%2, %3) at %4</translation>
    </message>
    <message>
        <source>Серые значения прочитаны из прибора №%1 (%2, порт %3) и с тех пор не подтверждены.</source>
        <translation>The grey values were read from instrument #%1 (%2, port %3) and have not been confirmed since.</translation>
    </message>
    <message>
        <source>перейти на порт %1</source>
        <translation>switching to port %1</translation>
    </message>
    <message>
        <source>закрыть программу</source>
        <translation>closing the program</translation>
    </message>
    <message>
        <source>№%1, %2, сер. номер %3</source>
        <translation>#%1, %2, serial no. %3</translation>
    </message>
    <message>
        <source>не прочитан</source>
        <translation>not read</translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>обратиться к прибору №%1</source>
        <translation>addressing instrument #%1</translation>
    </message>
    <message>
        <source>Токовый выход прибора %1 зафиксирован в этом сеансе: прибор выдаёт постоянный ток вместо показаний концентрации.

Освободить выход, прежде чем %2?</source>
        <translation>The current output of instrument %1 was fixed in this session: the instrument drives a constant current instead of its concentration reading.

Release the output before %2?</translation>
    </message>
    <message>
        <source>Токовый выход зафиксирован</source>
        <translation>Current output fixed</translation>
    </message>
    <message>
        <source>Освободить</source>
        <translation>Release</translation>
    </message>
    <message>
        <source>Оставить зафиксированным</source>
        <translation>Leave it fixed</translation>
    </message>
    <message>
        <source>Освободить выход не удалось: %1.

</source>
        <translation>Releasing the output failed: %1.

</translation>
    </message>
    <message>
        <source>: Сначала считайте показания</source>
        <translation>: Read the instrument first</translation>
    </message>
    <message>
        <source>Сброс градуировки</source>
        <translation>Calibration reset</translation>
    </message>
    <message>
        <source>Сбросить градуировку прибора к заводской?

Прибор: %1.

Градуировка, сделанная после завода, будет потеряна: прибор будет показывать концентрацию по заводской градуировке.</source>
        <translation>Reset the instrument&apos;s calibration to the factory one?

Instrument: %1.

Any calibration made since the factory is lost: the instrument will show the concentration by its factory calibration.</translation>
    </message>
    <message>
        <source>Сбросить</source>
        <translation>Reset</translation>
    </message>
    <message>
        <source>Переключение на служебный протокол</source>
        <translation>Switch to the service protocol</translation>
    </message>
    <message>
        <source>Переключить прибор на служебный протокол?

Прибор: %1.

Прибор перестанет отвечать по MODBUS и не вернётся к нему, пока его питание не выключат и не включат снова на месте установки.</source>
        <translation>Switch the instrument to its service protocol?

Instrument: %1.

The instrument stops answering MODBUS and does not return to it until its power is switched off and on again on site.</translation>
    </message>
    <message>
        <source>начать поиск приборов</source>
        <translation>starting a search</translation>
    </message>
    <message>
        <source>Стоп</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>Найдено приборов: %1</source>
        <translation>Instruments found: %1</translation>
    </message>
    <message>
        <source>Сеть…</source>
        <translation>Network…</translation>
    </message>
    <message>
        <source>Скорость и чётность линии задаются в настройках шлюза или преобразователя: по протоколу %1 программа их не передаёт (передаёт только по RFC 2217).</source>
        <translation>The line&apos;s speed and parity are set in the gateway or device server: over %1 the program does not pass them on (only over RFC 2217).</translation>
    </message>
</context>
<context>
    <name>orn::TNetDialog</name>
    <message>
        <source>MODBUS TCP</source>
        <translation>MODBUS TCP</translation>
    </message>
    <message>
        <source>RFC 2217</source>
        <translation>RFC 2217</translation>
    </message>
    <message>
        <source>RTU через TCP</source>
        <translation>RTU over TCP</translation>
    </message>
    <message>
        <source>Сеть</source>
        <translation>Network</translation>
    </message>
    <message>
        <source>Имя или IP-адрес шлюза MODBUS TCP или преобразователя интерфейсов</source>
        <translation>Name or IP address of the MODBUS TCP gateway or the device server</translation>
    </message>
    <message>
        <source>Узел:</source>
        <translation>Host:</translation>
    </message>
    <message>
        <source>Порт TCP:</source>
        <translation>TCP port:</translation>
    </message>
    <message>
        <source>MODBUS TCP (шлюз)</source>
        <translation>MODBUS TCP (gateway)</translation>
    </message>
    <message>
        <source>RTU через TCP (преобразователь, режим TCP-сервера)</source>
        <translation>RTU over TCP (device server in TCP server mode)</translation>
    </message>
    <message>
        <source>RFC 2217 (преобразователь, скорость и чётность отсюда)</source>
        <translation>RFC 2217 (device server, speed and parity from here)</translation>
    </message>
    <message>
        <source>Протокол:</source>
        <translation>Protocol:</translation>
    </message>
    <message>
        <source> мс</source>
        <translation> ms</translation>
    </message>
    <message>
        <source>Время, которое ответ прибора получает сверх обычного ожидания: на путь по сети и на части, которыми шлюз или преобразователь передаёт ответ</source>
        <translation>Time an instrument&apos;s answer gets beyond the usual wait: for the way through the network and the pieces in which the gateway or device server passes the answer on</translation>
    </message>
    <message>
        <source>Запас на сеть:</source>
        <translation>Network allowance:</translation>
    </message>
</context>
<context>
    <name>orn::TReadingsLog</name>
    <message>
        <source>файл удалён или переименован</source>
        <translation>the file was deleted or renamed</translation>
    </message>
    <message>
        <source>это не обычный файл</source>
        <translation>not a regular file</translation>
    </message>
    <message>
        <source>носитель не отвечает</source>
        <translation>the medium does not respond</translation>
    </message>
    <message>
        <source>на диске нет места</source>
        <translation>the disk is full</translation>
    </message>
    <message>
        <source>носитель недоступен (извлечён?)</source>
        <translation>the medium is unavailable (removed?)</translation>
    </message>
    <message>
        <source>носитель только для чтения</source>
        <translation>the medium is read-only</translation>
    </message>
    <message>
        <source>нет права на запись</source>
        <translation>no permission to write</translation>
    </message>
    <message>
        <source>нет такой папки</source>
        <translation>no such folder</translation>
    </message>
    <message>
        <source>это папка</source>
        <translation>it is a folder</translation>
    </message>
    <message>
        <source>файл слишком велик</source>
        <translation>the file is too large</translation>
    </message>
    <message>
        <source>Дата и время</source>
        <translation>Date and time</translation>
    </message>
    <message>
        <source>Порт</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>Адрес</source>
        <translation>Address</translation>
    </message>
    <message>
        <source>Модель</source>
        <translation>Model</translation>
    </message>
</context>
<context>
    <name>orn::TRecordsLink</name>
    <message>
        <source>Не могу записать %1: %2</source>
        <translation>Cannot write %1: %2</translation>
    </message>
    <message>
        <source>Журнал обслуживания</source>
        <translation>Service records</translation>
    </message>
    <message>
        <source>Повторить</source>
        <translation>Retry</translation>
    </message>
    <message>
        <source>Сохранить в файл…</source>
        <translation>Save to a file…</translation>
    </message>
    <message>
        <source>Скрыть</source>
        <translation>Hide</translation>
    </message>
    <message>
        <source>Сохранить несохранённые записи</source>
        <translation>Save the unsaved records</translation>
    </message>
    <message>
        <source>Таблица CSV (*.csv);;Все файлы (*)</source>
        <translation>CSV table (*.csv);;All files (*)</translation>
    </message>
    <message>
        <source>Закрыть без них</source>
        <translation>Close without them</translation>
    </message>
    <message>
        <source>Не закрывать</source>
        <translation>Do not close</translation>
    </message>
    <message>
        <source>Записи обслуживания не сохраняются в журнал: %1.
Файл: %2
Записей в памяти: %3.</source>
        <translation>Service records are not being saved: %1.
File: %2
Records in memory: %3.</translation>
    </message>
    <message>
        <source>
Журнал ведёт более новая версия программы (схема %1): обновите программу на этом компьютере.</source>
        <translation>
A newer version of the program keeps the records (schema %1): update the program on this computer.</translation>
    </message>
    <message>
        <source>
Программа повторяет попытки сама; записи можно сохранить в файл.</source>
        <translation>
The program keeps trying by itself; the records can be saved to a file.</translation>
    </message>
    <message>
        <source>Журнал: %1</source>
        <translation>Records: %1</translation>
    </message>
    <message>
        <source> — не записано: %1 (%2)</source>
        <translation> — not saved: %1 (%2)</translation>
    </message>
    <message>
        <source>; сервер ведёт более новая версия программы (схема %1): записи ждут здесь</source>
        <translation>; a newer version of the program keeps the server (schema %1): the records wait here</translation>
    </message>
    <message>
        <source>; сервер недоступен (%1), ждут отправки: %2</source>
        <translation>; server unavailable (%1), waiting to be sent: %2</translation>
    </message>
    <message>
        <source>; сервер: %1</source>
        <translation>; server: %1</translation>
    </message>
    <message>
        <source>ждут отправки: %1</source>
        <translation>waiting to be sent: %1</translation>
    </message>
    <message>
        <source>всё отправлено</source>
        <translation>all sent</translation>
    </message>
    <message>
        <source>

При закрытии программы они будут потеряны. Сохранить их в файл?</source>
        <translation>

They are lost when the program closes. Save them to a file?</translation>
    </message>
</context>
<context>
    <name>orn::TRecordsTools</name>
    <message>
        <source>Калибровка…</source>
        <translation>Calibration…</translation>
    </message>
    <message>
        <source>Журнал обслуживания…</source>
        <translation>Service records…</translation>
    </message>
</context>
<context>
    <name>orn::TServiceTools</name>
    <message>
        <source>Обмен по линии…</source>
        <translation>Line traffic…</translation>
    </message>
    <message>
        <source>График концентрации…</source>
        <translation>Concentration trend…</translation>
    </message>
    <message>
        <source>Записывать показания в файл…</source>
        <translation>Log readings to a file…</translation>
    </message>
    <message>
        <source>Записывать показания в файл</source>
        <translation>Log readings to a file</translation>
    </message>
    <message>
        <source>Таблица CSV (*.csv);;Все файлы (*)</source>
        <translation>CSV table (*.csv);;All files (*)</translation>
    </message>
    <message>
        <source>Запись показаний</source>
        <translation>Readings log</translation>
    </message>
    <message>
        <source>№%1 %2, %3</source>
        <translation>#%1 %2, %3</translation>
    </message>
    <message>
        <source>Запись показаний остановлена: %1.
Файл: %2
Записано строк: %3, не записано: %4.
Чтение прибора продолжается.</source>
        <translation>Readings log stopped: %1.
File: %2
Rows written: %3, not written: %4.
The instrument is still being read.</translation>
    </message>
    <message>
        <source>Не могу записывать показания в файл %1: %2.</source>
        <translation>Cannot log readings to the file %1: %2.</translation>
    </message>
    <message>
        <source>Запись показаний остановлена, но носитель не ответил за %1 с.
Файл: %2
Записано строк: %3, не записано: %4.</source>
        <translation>Readings log stopped, but the medium did not respond within %1 s.
File: %2
Rows written: %3, not written: %4.</translation>
    </message>
    <message>
        <source>Остановить запись показаний (%1)</source>
        <translation>Stop the readings log (%1)</translation>
    </message>
    <message>
        <source>Показания в файл не записываются (Ctrl+L — начать запись).</source>
        <translation>Readings are not logged to a file (Ctrl+L starts the log).</translation>
    </message>
    <message>
        <source>Запись показаний в %1 — строк: %2; запись задерживается, в очереди строк: %3 (Ctrl+L — остановить).</source>
        <translation>Logging readings to %1 — rows: %2; writing is delayed, rows queued: %3 (Ctrl+L stops).</translation>
    </message>
    <message>
        <source>Запись показаний в %1 — строк: %2 (Ctrl+L — остановить).</source>
        <translation>Logging readings to %1 — rows: %2 (Ctrl+L stops).</translation>
    </message>
    <message>
        <source>Запись в %1 остановлена: %2; записано строк: %3.</source>
        <translation>Log to %1 stopped: %2; rows written: %3.</translation>
    </message>
    <message>
        <source>● Запись: %1</source>
        <translation>● Log: %1</translation>
    </message>
    <message>
        <source>Запись прервана</source>
        <translation>Log broken off</translation>
    </message>
    <message>
        <source>Линия…</source>
        <translation>Line…</translation>
    </message>
</context>
<context>
    <name>orn::TTrafficLog</name>
    <message>
        <source>[+%1 мс] </source>
        <translation>[+%1 ms] </translation>
    </message>
    <message>
        <source>эхо удалено</source>
        <translation>echo removed</translation>
    </message>
    <message>
        <source>пропущены байты: </source>
        <translation>bytes skipped: </translation>
    </message>
    <message>
        <source>чужой кадр отброшен: </source>
        <translation>foreign frame dropped: </translation>
    </message>
    <message>
        <source>запоздалый ответ отброшен: </source>
        <translation>late answer dropped: </translation>
    </message>
    <message>
        <source>ждёт ответа…</source>
        <translation>waiting for the answer…</translation>
    </message>
    <message>
        <source>не могу открыть порт</source>
        <translation>cannot open the port</translation>
    </message>
    <message>
        <source>после тайм-аута пришло: </source>
        <translation>after the timeout came: </translation>
    </message>
    <message>
        <source>после окончания пришло: </source>
        <translation>after the end came: </translation>
    </message>
    <message>
        <source>Время</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>Порт</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>Запрос</source>
        <translation>Request</translation>
    </message>
    <message>
        <source>Ответ, как пришёл</source>
        <translation>Answer as received</translation>
    </message>
    <message>
        <source>Итог</source>
        <translation>Outcome</translation>
    </message>
</context>
<context>
    <name>orn::TTrafficView</name>
    <message>
        <source>Обмен по линии</source>
        <translation>Line traffic</translation>
    </message>
    <message>
        <source>Пауза</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>Остановить запись обмена; обмен на линии продолжается</source>
        <translation>Stop recording the traffic; the line goes on working</translation>
    </message>
    <message>
        <source>Очистить</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>Копировать</source>
        <translation>Copy</translation>
    </message>
    <message>
        <source>Копировать выделенные строки (Ctrl+C)</source>
        <translation>Copy the selected rows (Ctrl+C)</translation>
    </message>
    <message>
        <source>Сохранить…</source>
        <translation>Save…</translation>
    </message>
    <message>
        <source>Сохранить все строки в текстовый файл (Ctrl+S)</source>
        <translation>Save all rows to a text file (Ctrl+S)</translation>
    </message>
    <message>
        <source>Сохранить обмен по линии</source>
        <translation>Save the line traffic</translation>
    </message>
    <message>
        <source>Текст (*.txt);;Все файлы (*)</source>
        <translation>Text (*.txt);;All files (*)</translation>
    </message>
    <message>
        <source>Строк: %1 (хранятся последние %2)</source>
        <translation>Rows: %1 (the last %2 are kept)</translation>
    </message>
    <message>
        <source> — пауза, обмен не записывается</source>
        <translation> — paused, traffic not recorded</translation>
    </message>
    <message>
        <source>Обмен по линии, сохранено </source>
        <translation>Line traffic, saved </translation>
    </message>
    <message>
        <source>Сохранено строк: %1 в %2</source>
        <translation>Saved %1 rows to %2</translation>
    </message>
    <message>
        <source>Не удалось сохранить в %1</source>
        <translation>Could not save to %1</translation>
    </message>
</context>
<context>
    <name>orn::TTrendPlot</name>
    <message>
        <source>Ждём показаний прибора…</source>
        <translation>Waiting for the instrument&apos;s readings…</translation>
    </message>
    <message>
        <source>Показаний пока нет: нажмите «Читать» или включите «Авто».</source>
        <translation>No readings yet: press “Read” or turn on “Auto”.</translation>
    </message>
    <message>
        <source>время от начала, мин</source>
        <translation>time from start, min</translation>
    </message>
    <message>
        <source>цель %1 ± %2</source>
        <translation>target %1 ± %2</translation>
    </message>
    <message>
        <source>проверка: %1</source>
        <translation>check: %1</translation>
    </message>
    <message>
        <source>газ не числом: %1 (последнее %2)</source>
        <translation>gas not a number: %1 (last %2)</translation>
    </message>
</context>
<context>
    <name>orn::TTrendView</name>
    <message>
        <source>График концентрации</source>
        <translation>Concentration trend</translation>
    </message>
    <message>
        <source>Очистить</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>Начать график заново</source>
        <translation>Start the trend again</translation>
    </message>
    <message>
        <source>Прибор ещё не прочитан</source>
        <translation>Instrument not read yet</translation>
    </message>
    <message>
        <source>%1 — показаний: %2 с %3</source>
        <translation>%1 — readings: %2 since %3</translation>
    </message>
</context>
<context>
    <name>orn::records</name>
    <message>
        <source>ноль</source>
        <translation>zero</translation>
    </message>
    <message>
        <source>градуировка</source>
        <translation>calibration</translation>
    </message>
    <message>
        <source>сброс градуировки</source>
        <translation>calibration reset</translation>
    </message>
    <message>
        <source>порог 1</source>
        <translation>threshold 1</translation>
    </message>
    <message>
        <source>порог 2</source>
        <translation>threshold 2</translation>
    </message>
    <message>
        <source>газ магнитной градуировки</source>
        <translation>magnetic calibration gas</translation>
    </message>
    <message>
        <source>значение тока</source>
        <translation>current value</translation>
    </message>
    <message>
        <source>фиксация тока</source>
        <translation>output fixed</translation>
    </message>
    <message>
        <source>отмена фиксации тока</source>
        <translation>output released</translation>
    </message>
    <message>
        <source>ток 4 мА</source>
        <translation>current 4 mA</translation>
    </message>
    <message>
        <source>ток 20 мА</source>
        <translation>current 20 mA</translation>
    </message>
    <message>
        <source>служебный протокол</source>
        <translation>service protocol</translation>
    </message>
    <message>
        <source>запись регистра</source>
        <translation>register write</translation>
    </message>
    <message>
        <source>Проверка газом</source>
        <translation>Bump test</translation>
    </message>
    <message>
        <source>Установка нуля</source>
        <translation>Zero</translation>
    </message>
    <message>
        <source>Градуировка</source>
        <translation>Calibration</translation>
    </message>
    <message>
        <source>Ноль и градуировка</source>
        <translation>Zero and calibration</translation>
    </message>
    <message>
        <source>Запись значения</source>
        <translation>Value write</translation>
    </message>
    <message>
        <source>Команда</source>
        <translation>Command</translation>
    </message>
    <message>
        <source>Пройдена</source>
        <translation>Passed</translation>
    </message>
    <message>
        <source>Не пройдена</source>
        <translation>Failed</translation>
    </message>
    <message>
        <source>Выполнено</source>
        <translation>Done</translation>
    </message>
    <message>
        <source>Без подтверждения</source>
        <translation>Unconfirmed</translation>
    </message>
    <message>
        <source>Прервана</source>
        <translation>Cancelled</translation>
    </message>
    <message>
        <source>Дата и время</source>
        <translation>Date and time</translation>
    </message>
    <message>
        <source>Модель</source>
        <translation>Model</translation>
    </message>
    <message>
        <source>Сер. номер</source>
        <translation>Serial no.</translation>
    </message>
    <message>
        <source>Адрес</source>
        <translation>Address</translation>
    </message>
    <message>
        <source>Порт</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>Вид работ</source>
        <translation>Work</translation>
    </message>
    <message>
        <source>Что отправлено</source>
        <translation>Sent</translation>
    </message>
    <message>
        <source>Регистр</source>
        <translation>Register</translation>
    </message>
    <message>
        <source>Было</source>
        <translation>Before</translation>
    </message>
    <message>
        <source>Стало</source>
        <translation>After</translation>
    </message>
    <message>
        <source>Ноль до, %об</source>
        <translation>Zero before, %vol</translation>
    </message>
    <message>
        <source>Ноль после, %об</source>
        <translation>Zero after, %vol</translation>
    </message>
    <message>
        <source>Газ до, %об</source>
        <translation>Gas before, %vol</translation>
    </message>
    <message>
        <source>Газ после, %об</source>
        <translation>Gas after, %vol</translation>
    </message>
    <message>
        <source>ПГС, %об</source>
        <translation>Test gas, %vol</translation>
    </message>
    <message>
        <source>Партия баллона</source>
        <translation>Cylinder lot</translation>
    </message>
    <message>
        <source>Баллон годен до</source>
        <translation>Cylinder expires</translation>
    </message>
    <message>
        <source>Результат</source>
        <translation>Result</translation>
    </message>
    <message>
        <source>Критерии</source>
        <translation>Criteria</translation>
    </message>
    <message>
        <source>Исполнитель</source>
        <translation>Technician</translation>
    </message>
    <message>
        <source>Объект, линия</source>
        <translation>Site, line</translation>
    </message>
    <message>
        <source>Примечание</source>
        <translation>Note</translation>
    </message>
    <message>
        <source>Программа</source>
        <translation>Program</translation>
    </message>
    <message>
        <source>Запись</source>
        <translation>Record</translation>
    </message>
    <message>
        <source>Последний адрес</source>
        <translation>Last address</translation>
    </message>
    <message>
        <source>Последняя запись</source>
        <translation>Last record</translation>
    </message>
    <message>
        <source>Последняя градуировка</source>
        <translation>Last calibration</translation>
    </message>
    <message>
        <source>Интервал, мес.</source>
        <translation>Interval, months</translation>
    </message>
    <message>
        <source>Следующая градуировка</source>
        <translation>Next calibration</translation>
    </message>
    <message>
        <source>Просрочена</source>
        <translation>Overdue</translation>
    </message>
    <message>
        <source>да</source>
        <translation>yes</translation>
    </message>
</context>
</TS>
