// The channel's cloud, skipHours and skipDays.
#include "feedwalker.h"
#include "valuechecks.h"

namespace {

QString Utf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

constexpr std::string_view kDays[] = {"Monday", "Tuesday",  "Wednesday", "Thursday",
                                      "Friday", "Saturday", "Sunday"};

} // namespace

void FeedWalker::Cloud(pugi::xml_node node) {
    Attributes(node, {"domain", "port", "path", "registerProcedure", "protocol"});
    NoText(node);
    for (const char* name : {"domain", "port", "path", "registerProcedure", "protocol"}) {
        if (!node.attribute(name))
            Report(Msg::MissingAttribute, node,
                   QStringLiteral("<cloud> has no %1 attribute; it needs domain, port, path, "
                                  "registerProcedure and protocol.")
                       .arg(QLatin1String(name)),
                   FieldOf(node, name));
    }
    const pugi::xml_attribute port = node.attribute("port");
    int64_t number = 0;
    if (port && (!ParseInteger(TrimXmlSpace(port.value()), number) || number < 1 || number > 65535))
        Report(Msg::InvalidIntegerAttribute, node,
               QStringLiteral("The port of <cloud> must be a number from 1 to 65535, not "
                              "\"%1\".")
                   .arg(QString::fromUtf8(port.value())),
               FieldOf(node, "port"));
    const pugi::xml_attribute protocol = node.attribute("protocol");
    const std::string_view value = protocol.value();
    if (protocol && value != "xml-rpc" && value != "soap" && value != "http-post")
        Report(Msg::InvalidValue, node,
               QStringLiteral("The protocol of <cloud> must be xml-rpc, soap or http-post, not "
                              "\"%1\".")
                   .arg(Utf8(value)),
               FieldOf(node, "protocol"));
}

void FeedWalker::SkipHours(pugi::xml_node node) {
    Attributes(node, {});
    NoText(node);
    m_prefix = "skipHours/";
    unsigned seen = 0;
    int count = 0;
    for (pugi::xml_node child : node.children()) {
        if (child.type() != pugi::node_element)
            continue;
        const size_t pushed = PushNamespaces(child);
        const auto [ns, name] = Resolve(child);
        PopNamespaces(pushed);
        if (ns != Ns::Core)
            continue;
        if (name != "hour") {
            Report(Msg::UndefinedElement, child,
                   QStringLiteral("<%1> is not an element of <skipHours>; it holds <hour> "
                                  "elements only.")
                       .arg(Utf8(name)),
                   FieldOf(child));
            continue;
        }
        if (++count == 25)
            Report(Msg::NotEnoughHoursInTheDay, child,
                   QStringLiteral("<skipHours> lists more than 24 hours."), FieldOf(child));
        const std::string_view text = Text(child);
        int64_t hour = -1;
        if (!ParseInteger(text, hour) || hour < 0 || hour > 24) {
            Report(Msg::InvalidHour, child,
                   QStringLiteral("An <hour> must be a whole number from 0 to 23, not \"%1\".")
                       .arg(Utf8(text)),
                   FieldOf(child));
            continue;
        }
        if (hour == 24) {
            Report(Msg::UseZeroForMidnight, child,
                   QStringLiteral("Write midnight as <hour>0</hour>, not 24."), FieldOf(child));
            hour = 0;
        }
        const unsigned bit = 1u << hour;
        if (seen & bit)
            Report(Msg::DuplicateValue, child,
                   QStringLiteral("The hour %1 is listed twice in <skipHours>.").arg(Utf8(text)),
                   FieldOf(child));
        seen |= bit;
    }
    if (count == 0)
        Report(Msg::MissingElement, node, QStringLiteral("<skipHours> lists no <hour>."),
               QStringLiteral("skipHours/hour"));
    m_prefix = "";
}

void FeedWalker::SkipDays(pugi::xml_node node) {
    Attributes(node, {});
    NoText(node);
    m_prefix = "skipDays/";
    unsigned seen = 0;
    int count = 0;
    for (pugi::xml_node child : node.children()) {
        if (child.type() != pugi::node_element)
            continue;
        const size_t pushed = PushNamespaces(child);
        const auto [ns, name] = Resolve(child);
        PopNamespaces(pushed);
        if (ns != Ns::Core)
            continue;
        if (name != "day") {
            Report(Msg::UndefinedElement, child,
                   QStringLiteral("<%1> is not an element of <skipDays>; it holds <day> "
                                  "elements only.")
                       .arg(Utf8(name)),
                   FieldOf(child));
            continue;
        }
        if (++count == 8)
            Report(Msg::EightDaysAWeek, child,
                   QStringLiteral("<skipDays> lists more than seven days."), FieldOf(child));
        const std::string_view text = Text(child);
        const auto day = std::find(std::begin(kDays), std::end(kDays), text);
        if (day == std::end(kDays)) {
            Report(Msg::InvalidDay, child,
                   QStringLiteral("A <day> must be an English day name such as Monday, not "
                                  "\"%1\".")
                       .arg(Utf8(text)),
                   FieldOf(child));
            continue;
        }
        const unsigned bit = 1u << (day - std::begin(kDays));
        if (seen & bit)
            Report(Msg::DuplicateValue, child,
                   QStringLiteral("%1 is listed twice in <skipDays>.").arg(Utf8(text)),
                   FieldOf(child));
        seen |= bit;
    }
    if (count == 0)
        Report(Msg::MissingElement, node, QStringLiteral("<skipDays> lists no <day>."),
               QStringLiteral("skipDays/day"));
    m_prefix = "";
}
