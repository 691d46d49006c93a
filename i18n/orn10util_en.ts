<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="ru_RU">
<context>
    <name>orn10ctl</name>
    <message>
        <source>порога 1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>порога 2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>концентрации газа для магнитной градуировки</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>значения тока выхода</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>причина неизвестна</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> (состоит ли пользователь в группе dialout?)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> (порт занят другой программой)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> (это не последовательный порт)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>не могу открыть порт %1: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>порт %1 отказал: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>порт пропал: %1: %2; пробую снова</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>порт вернулся: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>«%1» %2 вне пределов %3 … %4</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> (сейчас не подходит ни одно значение)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>запись не внесена в журнал: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>токового выхода, который можно зафиксировать</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>у %1 нет %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>неверное значение &apos;%1&apos;: нужно число, например 20.5 или 20,5</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 — не значение регистра (%2 … %3)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 — код команды: используйте zero или reset</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>токовый выход зафиксирован: освободите его перед градуировкой</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>токовый выход не зафиксирован; ничего не отправлено</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>токовый выход уже зафиксирован; ничего не отправлено</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>прибор не сообщил, что его токовый выход зафиксирован</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>№%1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ноль %1 → %2 %об</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>газ %1 → %2 %об</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ПГС %1 %об</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>, партия %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>, годен до %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>сервер журнала недоступен (%1): записей ждут отправки в локальном файле: %2; они уйдут со следующей отправкой</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>журнал не читается: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>сервер журнала недоступен (%1): только записи этого компьютера</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Записей о серийном номере %1 нет.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1, сер. номер %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>градуировок нет; интервал %1 мес.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>последняя градуировка %1, интервал %2 мес., следующая %3</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> — ПРОСРОЧЕНА</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Справка: orn10ctl --help.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>не хватает аргумента</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>лишний аргумент &apos;%1&apos;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>неизвестное значение &apos;%1&apos;: нужно threshold1, threshold2, magnet или current</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>неверный ток &apos;%1&apos;: нужно 4 или 20 (мА)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>неверный серийный номер &apos;%1&apos;: нужны его цифры</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>неверный диапазон адресов &apos;%1&apos;: нужно A или A-B в пределах 1–247</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>неизвестная команда &apos;%1&apos;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>параметру %1 нужно значение</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>параметр %1 не принимает значения</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>неверное значение %1 &apos;%2&apos;: нужно %3</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>порта</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>путь к устройству или COM&lt;n&gt;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>скорости</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>1200, 2400, 4800, 9600, 19200, 38400, 57600 или 115200</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>чётности</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>none, odd или even</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>адреса</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>от 1 до 247</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>модели</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>MB1, MB2, MB3, MB4, X-20 или X-22</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>исполнителя</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>объекта</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>примечания</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>одна строка текста</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>даты</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>тайм-аута</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>миллисекунды от 11 до 60000</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>интервала</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>секунды от 0 до 86400</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>числа чтений</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>число чтений от 1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>языка</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>неизвестный параметр &apos;%1&apos;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>не задана команда</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Использование: orn10ctl [ПАРАМЕТР]... КОМАНДА [АРГУМЕНТ]...
Читает, настраивает и градуирует газоанализаторы ORN10 по последовательной линии
MODBUS RTU и находит их на ней: окно сервисной программы для скриптов и
командной строки.  Значения расшифровываются, подписываются и проверяются на
допустимость точно так же, как в окне.
</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>
Команды:
  read                 прочитать прибор один раз и показать его показания
  watch                читать его каждые --interval секунд, по строке на чтение,
                       пока не прервут (Ctrl+C, SIGTERM) или до --count чтений;
                       неудачное чтение выводит свою ошибку, и чтение идёт дальше
  scan [A[-B]]         найти приборы по адресам от A до B (по умолчанию 1-247)
                       и модель, на которую похож каждый
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
        <translation type="unfinished"></translation>
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
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>
Линия:
  -p, --port ПОРТ      последовательный порт: путь к устройству (/dev/ttyUSB0,
                       /dev/serial/by-id/...) или COM&lt;n&gt; (от 1 до 256) —
                       устройство из переменной окружения ORN10_COM&lt;n&gt;, иначе
                       /dev/ttyS&lt;n-1&gt; (по умолчанию COM1).  Занимается
                       монопольно.
  -s, --speed БОД      1200, 2400, 4800, 9600, 19200 (по умолчанию), 38400,
                       57600 или 115200
  -P, --parity P       none, odd или even (по умолчанию even); 8 бит данных,
                       1 стоп-бит
  -a, --address N      адрес прибора, от 1 до 247 (по умолчанию 1)
  -m, --model M        MB1, MB2, MB3, MB4 (по умолчанию), X-20 или X-22: какие
                       регистры читать и как их показывать
  -t, --timeout МС     время, за которое прибор должен начать ответ (по
                       умолчанию 500; scan: время передачи запроса + 40 мс);
                       время передачи самого ответа добавляется, когда он начат
</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>
Watch:
  -i, --interval С     секунды от начала одного чтения до начала следующего (по
                       умолчанию 2; 0: без паузы); о порте, который отказал или
                       не открывается, сообщается один раз (&quot;порт пропал&quot;, затем
                       &quot;порт вернулся&quot;), и он пробуется снова каждые С секунд,
                       но не чаще раза в 0,5 с
  -n, --count N        остановиться после N чтений (считается каждая попытка)
</source>
        <translation type="unfinished"></translation>
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
        <translation type="unfinished"></translation>
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
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>
Код завершения:
  0  всё запрошенное выполнено (scan: найден хотя бы один прибор)
  1  прибор ответил исключением или повреждённым ответом
  2  неверные аргументы
  3  порт не открывается или отказал во время работы (вынут адаптер);
     причина выводится
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
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>
Примеры:
  orn10ctl -p /dev/ttyUSB0 -a 5 read
  orn10ctl -p COM2 -s 9600 -a 3 -m X-22 --json read
  orn10ctl -p /dev/ttyUSB0 -a 5 watch -i 1 --csv &gt;&gt; readings.csv
  orn10ctl -p /dev/ttyUSB0 scan -t 50
  orn10ctl -p /dev/ttyUSB0 -a 5 write threshold1 20,5
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
</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>не могу записать вывод: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>отправлено</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>принято</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>эхо удалено</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>пропущено</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>чужой кадр</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>запоздалый</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>итог</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>прервано</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>№</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Время</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>отказано: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>(чтение перед записью)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>(регистр %1)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Переключен на служебный протокол</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Адрес</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Прибор</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>(регистров: %1)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Найдено приборов: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>поиск прерван</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 мс</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>orn::Certificate</name>
    <message>
        <source>Протокол %1 %2 %3.pdf</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Не могу создать папку %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Протокол калибровки</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Не могу записать файл %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 — запись № %2 от %3</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Прибор</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Модель</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Серийный номер</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Адрес на линии, порт</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1, %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Объект, линия</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Поверочная газовая смесь</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Концентрация, %об</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Партия баллона</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Баллон годен до</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Показания прибора, %об</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Чистый воздух, до подачи газа</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Поверочный газ, наибольшее</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Нулевой газ</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Поверочный газ</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Газ</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>до настройки</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>после настройки</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Критерии</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Отправлено в прибор</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ничего</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Примечание</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Результат</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Исполнитель</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Дата и время</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Программа</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Представитель заказчика</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>подпись</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>фамилия, инициалы</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Дата</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Запись журнала обслуживания %1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>orn::Instruments</name>
    <message>
        <source>ОРН10-X-X1 MB1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ОРН10-X-X1 MB2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ОРН10-X-X1 MB3</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ОРН10-X-X1 MB4</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ОРН10-X-20</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ОРН10-X-22</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%об</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>С</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>мА</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>с</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Сер. номер</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Газ, %об.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>t, С</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Статус</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Диапазон измер., %об</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Порог №1, %об</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Порог №2, %об</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Газ магн. град-ки, %об</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ток, мА</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Время работы, с</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Версия ПО</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Интервал опросов, с</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Дата</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Время</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>00</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ошибка 01 (неверный адрес регистра) </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ошибка 02 (неверное значение)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ошибка 03</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ошибка 04</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ошибка 05</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ошибка 06</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Нет связи</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ошибка 08</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ошибка 09 (CRC)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ошибка 10 (прибор занят)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ошибка 11 (порт не инициирован)</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>orn::Ports</name>
    <message>
        <source>Нет доступа к порту: добавьте себя в группу dialout и войдите в систему заново.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Порт занят другой программой: закройте её или выберите другой порт.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Устройство отключено: подключите его и выберите порт в списке.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Это не последовательный порт: выберите другой порт.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ошибка системы: %1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>orn::TCalibrationDialog</name>
    <message>
        <source>Калибровка</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Проверка газом (bump test)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Установка нуля</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Градуировка</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ноль и градуировка</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Вид работ:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ПГС, %об:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Партия баллона:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Баллон годен до:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Исполнитель:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Объект, линия:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Примечание:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Критерии</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> %об</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> с</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> % ПГС</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Стабильно: в пределах ±</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>в течение</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Проверка газом: не менее</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>за</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>После настройки показание должно быть в пределах того же допуска от нуля и от ПГС.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Отмена в любой момент оставляет прибор как есть, кроме уже отправленных команд (ноль, градуировка): они остаются в приборе и записываются в журнал.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Начать</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Закрыть</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Газ подан</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Установить ноль</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Градуировать</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Отменить</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Протокол…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Новая сессия</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Прибор: %1, адрес %2, %3</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>не задан</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>В главном окне не задан адрес прибора (1–247).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Концентрация ПГС должна быть числом от 0,01 до 655,34 %об.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Укажите партию баллона с ПГС.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Баллон просрочен: годен до %1. Возьмите баллон с действующим сроком годности.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Укажите исполнителя.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Команда не отправлена: значение не подходит для записи.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Команда не отправлена: в главном окне неверный адрес.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Команда не отправлена: порт не открывается.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Команда не отправлена: сначала считайте показания прибора.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Команда не отправлена: окно не разрешает градуировку (ток зафиксирован или прибор не прочитан).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>В главном окне выбран другой прибор: сессия ждёт, пока снова не будут выбраны адрес %1 и модель %2.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Прибор не подтвердил команду (%1): возможно, он её выполнил. Дождитесь стабильных показаний; команду можно повторить.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Прибор отказал: %1.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Прибор: %1, адрес %2, %3 — сер. номер %4</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ещё не прочитан</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Прибор на чистом воздухе: берём показание до подачи газа…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Подайте ПГС %1 %об и нажмите «Газ подан».</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Газ подан. Нужно не менее %1 %об (%2 % ПГС) за %3 с; осталось %4 с.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Подайте нулевой газ (чистый воздух) и дождитесь стабильных показаний; затем «Установить ноль».</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Команда установки нуля отправлена…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ноль установлен. Ждём стабильных показаний после него…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Подайте ПГС %1 %об и дождитесь стабильных показаний; затем «Градуировать».</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Команда градуировки отправлена…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Градуировка выполнена. Ждём стабильных показаний после неё…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Готово: %1. Запись внесена в журнал. Уберите газ с прибора.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Сессия отменена. В прибор ничего не отправлено, прибор не изменён.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Сессия отменена. Отправленное (%1) осталось в приборе и записано в журнал; больше ничего не отправлено.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 %об</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>— %об</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>● Стабильно (±%1 %об, %2 с)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>○ Ждём стабильности: %1 с из %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Чистый воздух: %1 %об; наибольшее с газом: %2 %об.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ноль: до %1 → после %2 %об.  </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ПГС %1: до %2 → после %3 %об.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>  Результат: %1.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Протокол калибровки</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>orn::TCalibrationSession</name>
    <message>
        <source>не менее %1 % ПГС за %2 с</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>стабильно ±%1 %об %2 с; после настройки ±%1 %об</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>доля ПГС достигнута за %1 с</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>без подтверждения: </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>без подтверждения прибора: </source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>orn::TDlgForm</name>
    <message>
        <source>Задать новое значение</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Задать</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>не число</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 — код команды, а не концентрация</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>допустимые значения известны после чтения прибора</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>сейчас допустимых значений нет (%1)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>допустимо %1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>orn::THistoryView</name>
    <message>
        <source>Журнал обслуживания</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>все</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>с</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Показать</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Сер. номер:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Адрес:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>по</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Модель</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Сер. номер</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Адрес</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Объект, линия</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Последняя градуировка</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Интервал, мес.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Следующая</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Состояние</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Дата и время</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Вид работ</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Отправлено</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ноль до → после</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Газ до → после</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ПГС</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Результат</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Исполнитель</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Интервал…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Протокол…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Работы в CSV…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Приборы и сроки в CSV…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Сервер…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Общий журнал группы на сервере PostgreSQL</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>orn10-работы.csv</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>orn10-приборы.csv</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Сохранить как CSV</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Таблица CSV (*.csv);;Все файлы (*)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Интервал градуировки</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Интервал между градуировками, месяцев:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Читаю журнал…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>нет</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>—</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ПРОСРОЧЕНА</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>градуировок нет</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>в срок</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Журнал не читается: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> — читаю общий журнал на сервере…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> — общий журнал на сервере недоступен (%1): показаны записи этого компьютера</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> — показан общий журнал сервера</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Выберите в списке работ проверку или калибровку: протокол составляется по ним.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Общий журнал на сервере</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>host=сервер dbname=orn10 user=инженер password=…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Проверить</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Записи всегда сохраняются в файле этого компьютера:
%1
С сервером PostgreSQL их получает и общий журнал группы; пока сервер недоступен, они ждут здесь и уходят, когда он вернётся. Пусто — только этот компьютер.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Строка подключения:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Эта сборка программы не работает с PostgreSQL.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Проверяю…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Сервер отвечает, журнал на нём готов.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>orn::TMForm</name>
    <message>
        <source>Связь</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Порт:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Скорость:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Чётность:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Найти</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Прибор</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Тип:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Адрес:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Сервис</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Обмен по линии, график, запись показаний в файл</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Переключить</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Переключить на работу с ORN терминалом</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Показания:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Задать новый порог</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Задать новую концентрацию газа для магнитной градуировки</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Указать текущее значение тока (только для границ диапазона)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Авто</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Читать</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Считать текущие показания из прибора</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Уст. 0</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Установка нуля показаний по концентрации</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Градуировка</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Градуировка показаний по концентрации</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Сброс</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Сброс градуировки показаний по концентрации к заводской</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ток</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Фиксировать</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>4мА</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>20мА</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1: не могу открыть порт</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ошибка:
 Не могу открыть порт!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> — порт снова доступен</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>№%1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>: Переключен на служебный протокол</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>установка нуля</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>сброс градуировки к заводской</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ток выхода 4 мА</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ток выхода 20 мА</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>градуировка при %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Записано: %1 (%2). Показание обновится при следующем чтении.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>устарели: №%1 (%2, %3)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>устарели: №%1 (%2, %3) в %4</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Серые значения прочитаны из прибора №%1 (%2, порт %3) и с тех пор не подтверждены.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>перейти на порт %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>закрыть программу</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>№%1, %2, сер. номер %3</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>не прочитан</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>обратиться к прибору №%1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Токовый выход прибора %1 зафиксирован в этом сеансе: прибор выдаёт постоянный ток вместо показаний концентрации.

Освободить выход, прежде чем %2?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Токовый выход зафиксирован</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Освободить</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Оставить зафиксированным</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Освободить выход не удалось: %1.

</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>: Сначала считайте показания</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Сброс градуировки</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Сбросить градуировку прибора к заводской?

Прибор: %1.

Градуировка, сделанная после завода, будет потеряна: прибор будет показывать концентрацию по заводской градуировке.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Сбросить</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Переключение на служебный протокол</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Переключить прибор на служебный протокол?

Прибор: %1.

Прибор перестанет отвечать по MODBUS и не вернётся к нему, пока его питание не выключат и не включат снова на месте установки.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>начать поиск приборов</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Стоп</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Найдено приборов: %1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>orn::TReadingsLog</name>
    <message>
        <source>файл удалён или переименован</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>это не обычный файл</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>носитель не отвечает</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>на диске нет места</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>носитель недоступен (извлечён?)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>носитель только для чтения</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>нет права на запись</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>нет такой папки</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>это папка</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>файл слишком велик</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Дата и время</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Порт</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Адрес</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Модель</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>orn::TRecordsLink</name>
    <message>
        <source>Не могу записать %1: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Журнал обслуживания</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Повторить</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Сохранить в файл…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Скрыть</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Сохранить несохранённые записи</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Таблица CSV (*.csv);;Все файлы (*)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Закрыть без них</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Не закрывать</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Записи обслуживания не сохраняются в журнал: %1.
Файл: %2
Записей в памяти: %3.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>
Журнал ведёт более новая версия программы (схема %1): обновите программу на этом компьютере.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>
Программа повторяет попытки сама; записи можно сохранить в файл.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Журнал: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> — не записано: %1 (%2)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>; сервер ведёт более новая версия программы (схема %1): записи ждут здесь</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>; сервер недоступен (%1), ждут отправки: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>; сервер: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ждут отправки: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>всё отправлено</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>

При закрытии программы они будут потеряны. Сохранить их в файл?</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>orn::TRecordsTools</name>
    <message>
        <source>Калибровка…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Журнал обслуживания…</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>orn::TServiceTools</name>
    <message>
        <source>Обмен по линии…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>График концентрации…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Записывать показания в файл…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Записывать показания в файл</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Таблица CSV (*.csv);;Все файлы (*)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Запись показаний</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>№%1 %2, %3</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Запись показаний остановлена: %1.
Файл: %2
Записано строк: %3, не записано: %4.
Чтение прибора продолжается.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Не могу записывать показания в файл %1: %2.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Запись показаний остановлена, но носитель не ответил за %1 с.
Файл: %2
Записано строк: %3, не записано: %4.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Остановить запись показаний (%1)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Показания в файл не записываются (Ctrl+L — начать запись).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Запись показаний в %1 — строк: %2; запись задерживается, в очереди строк: %3 (Ctrl+L — остановить).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Запись показаний в %1 — строк: %2 (Ctrl+L — остановить).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Запись в %1 остановлена: %2; записано строк: %3.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>● Запись: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Запись прервана</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>orn::TTrafficLog</name>
    <message>
        <source>[+%1 мс] </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>эхо удалено</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>пропущены байты: </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>чужой кадр отброшен: </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>запоздалый ответ отброшен: </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ждёт ответа…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>не могу открыть порт</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>после тайм-аута пришло: </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>после окончания пришло: </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Время</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Порт</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Запрос</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ответ, как пришёл</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Итог</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>orn::TTrafficView</name>
    <message>
        <source>Обмен по линии</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Пауза</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Остановить запись обмена; обмен на линии продолжается</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Очистить</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Копировать</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Копировать выделенные строки (Ctrl+C)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Сохранить…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Сохранить все строки в текстовый файл (Ctrl+S)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Сохранить обмен по линии</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Текст (*.txt);;Все файлы (*)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Строк: %1 (хранятся последние %2)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> — пауза, обмен не записывается</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Обмен по линии, сохранено </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Сохранено строк: %1 в %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Не удалось сохранить в %1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>orn::TTrendPlot</name>
    <message>
        <source>Ждём показаний прибора…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Показаний пока нет: нажмите «Читать» или включите «Авто».</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>время от начала, мин</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>цель %1 ± %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>проверка: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>газ не числом: %1 (последнее %2)</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>orn::TTrendView</name>
    <message>
        <source>График концентрации</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Очистить</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Начать график заново</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Прибор ещё не прочитан</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 — показаний: %2 с %3</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>orn::records</name>
    <message>
        <source>ноль</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>градуировка</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>сброс градуировки</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>порог 1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>порог 2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>газ магнитной градуировки</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>значение тока</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>фиксация тока</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>отмена фиксации тока</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ток 4 мА</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ток 20 мА</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>служебный протокол</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>запись регистра</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Проверка газом</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Установка нуля</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Градуировка</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ноль и градуировка</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Запись значения</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Команда</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Пройдена</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Не пройдена</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Выполнено</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Без подтверждения</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Прервана</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Дата и время</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Модель</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Сер. номер</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Адрес</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Порт</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Вид работ</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Что отправлено</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Регистр</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Было</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Стало</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ноль до, %об</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ноль после, %об</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Газ до, %об</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Газ после, %об</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ПГС, %об</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Партия баллона</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Баллон годен до</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Результат</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Критерии</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Исполнитель</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Объект, линия</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Примечание</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Программа</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Запись</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Последний адрес</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Последняя запись</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Последняя градуировка</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Интервал, мес.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Следующая градуировка</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Просрочена</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>да</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
