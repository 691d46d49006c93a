#include "port_list.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace orn {

namespace {

// USB serial converters and ACM devices (adapters) come before on-board
// ports: a plugged adapter is what a user who has one came to pick.
bool IsAdapter(const std::string& name) { return name.rfind("ttyUSB", 0) == 0 || name.rfind("ttyACM", 0) == 0; }

// "ttyUSB2" before "ttyUSB10": the name without its trailing digits, then
// their value.
bool NaturalLess(const std::string& a, const std::string& b) {
    auto split = [](const std::string& s) {
        size_t i = s.size();
        while (i > 0 && s[i - 1] >= '0' && s[i - 1] <= '9') --i;
        return std::make_pair(s.substr(0, i), s.substr(i));
    };
    const auto [pa, na] = split(a);
    const auto [pb, nb] = split(b);
    if (pa != pb) return pa < pb;
    if (na.size() != nb.size()) return na.size() < nb.size();
    return na < nb;
}

PortItem NumberItem(int n) {
    PortItem item;
    item.text = item.shortText = "COM" + std::to_string(n);
    item.number = n;
    return item;
}

PortItem FoundItem(const PortRecord& r) {
    PortItem item;
    item.shortText = r.name;
    item.text = r.name;
    const std::string& what = r.product.empty() ? r.maker : r.product;
    if (!what.empty()) item.text += " — " + what;
    if (!r.serialNumber.empty()) item.text += " (" + r.serialNumber + ")";
    // The by-id name follows the adapter into any socket.  Without a serial
    // number it is not unique: two adapters of one kind share it, and it
    // leads to whichever was plugged last, so the device itself is opened.
    item.path = !r.byId.empty() && !r.serialNumber.empty() ? r.byId : r.location;
    return item;
}

} // namespace

PortList BuildPortList(const PortScan& scan, const std::string& chosen, const std::vector<NetEntry>& network) {
    PortList list;

    std::vector<PortVariable> variables = scan.variables;
    std::sort(variables.begin(), variables.end(),
              [](const PortVariable& a, const PortVariable& b) { return a.number < b.number; });
    for (const PortVariable& v : variables) list.items.push_back(NumberItem(v.number));

    std::vector<const PortRecord*> found;
    for (const PortRecord& r : scan.found) {
        if (r.uartType == 0) continue;
        const bool named = std::any_of(variables.begin(), variables.end(),
                                       [&](const PortVariable& v) { return v.target == r.location; });
        if (!named) found.push_back(&r);
    }
    std::sort(found.begin(), found.end(), [](const PortRecord* a, const PortRecord* b) {
        if (IsAdapter(a->name) != IsAdapter(b->name)) return IsAdapter(a->name);
        return NaturalLess(a->name, b->name);
    });
    for (const PortRecord* r : found) list.items.push_back(FoundItem(*r));

    if (list.items.empty())
        for (int n = 1; n <= 10; ++n) list.items.push_back(NumberItem(n));

    for (const NetEntry& e : network) {
        PortItem item;
        item.path = e.address.url();
        item.shortText = item.text = item.path.substr(item.path.find("://") + 3);
        item.net = e;
        list.items.push_back(std::move(item));
    }

    if (chosen.empty()) {
        list.current = 0;
    } else {
        for (size_t i = 0; i < list.items.size(); ++i)
            if (list.items[i].key() == chosen) list.current = int(i);
    }
    return list;
}

// The network's texts are translated by the window; the marks let Qt's
// tools find them without this layer knowing Qt.
#ifndef QT_TRANSLATE_NOOP
#define QT_TRANSLATE_NOOP(context, text) text
#endif

std::string PortErrorReason(int error) {
    switch (error) {
    case 0: return {};
    case NetNameNotFound: return QT_TRANSLATE_NOOP("PortError", "Имя узла не найдено: проверьте адрес.");
    case ECONNREFUSED:
        return QT_TRANSLATE_NOOP("PortError", "Соединение отвергнуто: на этом порту узла никто не ждёт соединения. "
                                              "Проверьте порт и включён ли преобразователь.");
    case EHOSTUNREACH:
    case ENETUNREACH:
        return QT_TRANSLATE_NOOP("PortError", "Нет маршрута к узлу: проверьте адрес и подключение к сети.");
    case ETIMEDOUT:
        return QT_TRANSLATE_NOOP("PortError", "Узел не отвечает: проверьте адрес и подключение к сети.");
    case ECONNRESET:
        return QT_TRANSLATE_NOOP("PortError", "Соединение закрыто другой стороной.");
    case EPROTO:
        return QT_TRANSLATE_NOOP("PortError", "Узел отвечает не по выбранному протоколу: проверьте протокол.");
    case EACCES:
    case EPERM: return "Нет доступа к порту: добавьте себя в группу dialout и войдите в систему заново.";
    case EBUSY:
#if EWOULDBLOCK != EAGAIN
    case EWOULDBLOCK:
#endif
    case EAGAIN: return "Порт занят другой программой: закройте её или выберите другой порт.";
    case ENOENT:
    case ENODEV:
    case ENXIO: return "Устройство отключено: подключите его и выберите порт в списке.";
    case ENOTTY: return "Это не последовательный порт: выберите другой порт.";
    default: return std::string("Ошибка системы: ") + std::strerror(error);
    }
}

} // namespace orn
