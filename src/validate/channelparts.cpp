// The channel's image, textInput, cloud, skipHours and skipDays.
#include "feedwalker.h"
#include "valuechecks.h"

#include <algorithm>
#include <iterator>

namespace {

QString Utf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

constexpr std::string_view kDays[] = {"Monday", "Tuesday",  "Wednesday", "Thursday",
                                      "Friday", "Saturday", "Sunday"};

int IndexOf(const std::string_view* names, int count, std::string_view name) {
    for (int i = 0; i < count; ++i) {
        if (name == names[i])
            return i;
    }
    return -1;
}

bool IsFormComponentName(std::string_view name) {
    if (name.empty() || !((name[0] >= 'a' && name[0] <= 'z') || (name[0] >= 'A' && name[0] <= 'Z')))
        return false;
    for (char c : name) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                        (c >= '0' && c <= '9') || c == '-' || c == '_' || c == ':' || c == '.';
        if (!ok)
            return false;
    }
    return true;
}

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

void FeedWalker::Image(pugi::xml_node image) {
    constexpr std::string_view fields[] = {"url",   "title",  "link",
                                           "width", "height", "description"};
    int counts[6] = {};
    Attributes(image, {});
    NoText(image);
    m_prefix = "image/";
    for (pugi::xml_node child : image.children()) {
        if (child.type() != pugi::node_element)
            continue;
        const size_t pushed = PushNamespaces(child);
        const auto [ns, name] = Resolve(child);
        const int field = ns == Ns::Core ? IndexOf(fields, 6, name) : -2;
        if (field == -1)
            Report(Msg::UndefinedElement, child,
                   QStringLiteral("<%1> is not an element of <image>.").arg(Utf8(name)),
                   FieldOf(child));
        if (field < 0) {
            PopNamespaces(pushed);
            continue;
        }
        Duplicate(child, counts[field]);
        Attributes(child, {});
        const std::string_view text = Text(child);
        int64_t number = 0;
        if (field == 0 && NotBlank(child, text)) {
            UrlValue(child, text, Msg::InvalidLink);
            std::string_view path = text.substr(0, text.find_first_of("?#"));
            const size_t dot = path.rfind('.');
            if (dot != std::string_view::npos && path.rfind('/') < dot) {
                const std::string extension = AsciiLower(path.substr(dot + 1));
                if (extension != "gif" && extension != "jpg" && extension != "jpeg" &&
                    extension != "png")
                    Report(Msg::ImageUrlFormat, child,
                           QStringLiteral("The channel image should be a GIF, JPEG or PNG "
                                          "file; readers may not show .%1.")
                               .arg(QString::fromStdString(extension)),
                           FieldOf(child));
            }
        } else if (field == 1) {
            if (!m_imageTitle)
                m_imageTitle = child;
            if (NotBlank(child, text))
                PlainText(child, text);
        } else if (field == 2) {
            if (!m_imageLink)
                m_imageLink = child;
            if (NotBlank(child, text))
                UrlValue(child, text, Msg::InvalidLink);
        } else if (field == 3 || field == 4) {
            const int64_t most = field == 3 ? 144 : 400;
            if (!ParseInteger(text, number) || number < 1 || number > most)
                Report(field == 3 ? Msg::InvalidWidth : Msg::InvalidHeight, child,
                       QStringLiteral("The image's <%1> must be a whole number from 1 to %2 "
                                      "(pixels), not \"%3\".")
                           .arg(Utf8(name))
                           .arg(most)
                           .arg(Utf8(text)),
                       FieldOf(child));
        } else if (field == 5) {
            PlainText(child, text);
        }
        PopNamespaces(pushed);
    }
    const struct {
        int field;
        Msg msg;
    } required[] = {{0, Msg::MissingElement}, {1, Msg::MissingTitle}, {2, Msg::MissingLink}};
    for (const auto& need : required) {
        if (counts[need.field] == 0)
            Report(need.msg, image,
                   QStringLiteral("<image> has no <%1>; it needs url, title and link.")
                       .arg(QLatin1String(fields[need.field].data())),
                   QStringLiteral("image/") + QLatin1String(fields[need.field].data()));
    }
    m_prefix = "";
}

void FeedWalker::TextInput(pugi::xml_node node) {
    constexpr std::string_view fields[] = {"title", "description", "name", "link"};
    int counts[4] = {};
    Attributes(node, {});
    NoText(node);
    m_prefix = "textInput/";
    for (pugi::xml_node child : node.children()) {
        if (child.type() != pugi::node_element)
            continue;
        const size_t pushed = PushNamespaces(child);
        const auto [ns, name] = Resolve(child);
        const int field = ns == Ns::Core ? IndexOf(fields, 4, name) : -2;
        if (field == -1)
            Report(Msg::UndefinedElement, child,
                   QStringLiteral("<%1> is not an element of <textInput>.").arg(Utf8(name)),
                   FieldOf(child));
        if (field >= 0) {
            Duplicate(child, counts[field]);
            const std::string_view text = Text(child);
            if (field <= 1 && NotBlank(child, text))
                PlainText(child, text);
            if (field == 2 && !IsFormComponentName(text))
                Report(Msg::InvalidFormComponentName, child,
                       QStringLiteral("The text input's <name> \"%1\" must be a form field name: "
                                      "a letter, then letters, digits, \"-\", \"_\", \":\" or "
                                      "\".\".")
                           .arg(Utf8(text)),
                       FieldOf(child));
            if (field == 3 && NotBlank(child, text))
                UrlValue(child, text, Msg::InvalidLink);
        }
        PopNamespaces(pushed);
    }
    const Msg missing[] = {Msg::MissingTitle, Msg::MissingDescription, Msg::MissingElement,
                           Msg::MissingLink};
    for (int i = 0; i < 4; ++i) {
        if (counts[i] == 0)
            Report(missing[i], node,
                   QStringLiteral("<textInput> has no <%1>; it needs title, description, name "
                                  "and link.")
                       .arg(QLatin1String(fields[i].data())),
                   QStringLiteral("textInput/") + QLatin1String(fields[i].data()));
    }
    m_prefix = "";
}
