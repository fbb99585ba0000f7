#include "grab/StructuredData.h"

#include "grab/HtmlDocument.h"
#include "grab/HtmlText.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>
#include <QObject>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace quillon::StructuredData {

namespace {

// schema.org types that are listings: LocalBusiness and its subtypes, Organization
// and its subtypes, Person. Sorted for binary search.
constexpr std::string_view kListingTypes[] = {
    "AccountingService", "Airline", "AnimalShelter", "ArchiveOrganization", "Attorney", "AutoBodyShop",
    "AutoDealer", "AutoPartsStore", "AutoRental", "AutoRepair", "AutoWash", "AutomotiveBusiness", "Bakery",
    "BankOrCreditUnion", "BarOrPub", "BeautySalon", "BedAndBreakfast", "BikeStore", "BookStore", "BowlingAlley",
    "Brewery", "CafeOrCoffeeShop", "Campground", "ChildCare", "ClothingStore", "ComedyClub", "ComputerStore",
    "Consortium", "ConvenienceStore", "Corporation", "CovidTestingFacility", "DaySpa", "Dentist",
    "DepartmentStore", "Distillery", "DryCleaningOrLaundry", "EducationalOrganization", "Electrician",
    "ElectronicsStore", "EmergencyService", "EmploymentAgency", "EntertainmentBusiness", "ExerciseGym",
    "FastFoodRestaurant", "FinancialService", "FireStation", "Florist", "FoodEstablishment",
    "FundingScheme", "FurnitureStore", "GardenStore", "GasStation", "GeneralContractor", "GolfCourse",
    "GovernmentOffice", "GovernmentOrganization", "GroceryStore", "HVACBusiness", "HairSalon", "HardwareStore",
    "HealthAndBeautyBusiness", "HealthClub", "HobbyShop", "HomeAndConstructionBusiness", "HomeGoodsStore",
    "Hospital", "Hostel", "Hotel", "HousePainter", "IceCreamShop", "InsuranceAgency", "InternetCafe",
    "JewelryStore", "LegalService", "Library", "LibrarySystem", "LiquorStore", "LocalBusiness", "Locksmith",
    "LodgingBusiness", "MedicalBusiness", "MedicalClinic", "MedicalOrganization", "MensClothingStore",
    "MobilePhoneStore", "Motel", "MotorcycleDealer", "MotorcycleRepair", "MovieRentalStore", "MovieTheater",
    "MovingCompany", "MusicStore", "NGO", "NailSalon", "NewsMediaOrganization", "NightClub", "Notary",
    "OfficeEquipmentStore", "Optician", "Organization", "OutletStore", "PawnShop", "PerformingGroup", "Person",
    "PetStore", "Pharmacy", "Physician", "Plumber", "PoliceStation", "PoliticalParty", "PostOffice",
    "ProfessionalService", "PublicSwimmingPool", "RadioStation", "RealEstateAgent", "RecyclingCenter",
    "Resort", "Restaurant", "RoofingContractor", "SelfStorage", "ShoeStore", "ShoppingCenter", "SkiResort",
    "SportingGoodsStore", "SportsActivityLocation", "SportsClub", "SportsOrganization", "StadiumOrArena",
    "Store", "TattooParlor", "TelevisionStation", "TennisComplex", "TireShop", "TouristInformationCenter",
    "ToyStore", "TravelAgency", "VeterinaryCare", "WholesaleStore", "Winery", "WorkersUnion",
};

const std::vector<std::string_view>& listingTypes()
{
    static const std::vector<std::string_view> sorted = [] {
        std::vector<std::string_view> v(std::begin(kListingTypes), std::end(kListingTypes));
        std::sort(v.begin(), v.end());
        return v;
    }();
    return sorted;
}

/** Types that are never listings, also when they carry a name and an address. */
constexpr std::string_view kNeverListings[] = {
    "BreadcrumbList", "ImageObject", "ItemList", "ListItem", "Offer", "PostalAddress", "Product", "Review",
    "SearchAction", "WebPage", "WebSite",
};

/** Types whose properties may hold listings: lists and pages of them. An item of
 *  another type (a product, a review) is not looked into: a person there is its
 *  author, no listing. */
constexpr std::string_view kContainers[] = {
    "CollectionPage", "DataFeed", "DataFeedItem", "ItemList", "ItemPage", "ListItem", "OfferCatalog",
    "SearchResultsPage", "WebPage", "WebSite",
};

bool isContainer(const QList<QByteArray>& types)
{
    if (types.isEmpty())
        return true;
    for (const QByteArray& t : types) {
        const std::string_view v(t.data(), size_t(t.size()));
        if (std::find(std::begin(kContainers), std::end(kContainers), v) != std::end(kContainers))
            return true;
    }
    return false;
}

/** @p text with the white space around it (Unicode spaces too) removed. */
QByteArray trimmedValue(QByteArrayView text)
{
    qsizetype b = 0, e = text.size();
    while (b < e) {
        const qsizetype k = HtmlText::spaceAt(text.sliced(b, e - b));
        if (!k)
            break;
        b += k;
    }
    while (e > b) {
        qsizetype k = 0;
        for (qsizetype n = 1; n <= 3 && n <= e - b && !k; ++n)
            if (HtmlText::spaceAt(text.sliced(e - n, n)) == n)
                k = n;
        if (!k)
            break;
        e -= k;
    }
    return text.sliced(b, e - b).toByteArray();
}

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

QByteArray trimmed(QByteArrayView text)
{
    qsizetype b = 0, e = text.size();
    while (b < e && isSpace(text[b]))
        ++b;
    while (e > b && isSpace(text[e - 1]))
        --e;
    return text.sliced(b, e - b).toByteArray();
}

/** A schema.org type as a bare name: "http://schema.org/Plumber", "schema:Plumber" -> "Plumber". */
QByteArray localName(QByteArrayView type)
{
    qsizetype cut = -1;
    for (qsizetype i = 0; i < type.size(); ++i)
        if (type[i] == '/' || type[i] == '#' || type[i] == ':')
            cut = i;
    return trimmed(type.sliced(cut + 1));
}

QList<QByteArray> typeNames(QByteArrayView list)
{
    QList<QByteArray> out;
    qsizetype i = 0;
    while (i < list.size()) {
        while (i < list.size() && isSpace(list[i]))
            ++i;
        qsizetype j = i;
        while (j < list.size() && !isSpace(list[j]))
            ++j;
        if (j > i)
            out.append(localName(list.sliced(i, j - i)));
        i = j;
    }
    return out;
}

bool isNeverListing(QByteArrayView type)
{
    const std::string_view t(type.data(), size_t(type.size()));
    return std::find(std::begin(kNeverListings), std::end(kNeverListings), t) != std::end(kNeverListings);
}

QByteArray withoutScheme(QByteArray value, const char* scheme)
{
    const qsizetype n = qsizetype(std::strlen(scheme));
    if (value.size() >= n && qstrnicmp(value.constData(), scheme, n) == 0)
        value.remove(0, n);
    return trimmed(value);
}

/** The collected properties of one item, the first value of each name. */
struct Item
{
    QList<QByteArray> types;
    std::unordered_map<std::string, QByteArray> text;
    /** The address given as an item of its own. */
    std::unique_ptr<Item> address;

    const QByteArray& get(const char* name) const
    {
        static const QByteArray none;
        const auto it = text.find(name);
        return it == text.end() ? none : it->second;
    }
    void set(const std::string& name, QByteArray value)
    {
        auto [it, added] = text.emplace(name, QByteArray());
        if (added || it->second.isEmpty())
            it->second = std::move(value);
    }
};

bool isListing(const Item& item)
{
    for (const QByteArray& t : item.types) {
        if (IsListingType(t))
            return true;
        if (isNeverListing(t))
            return false;
    }
    const bool named = !item.get("name").isEmpty();
    return named && (item.address || !item.get("address").isEmpty() || !item.get("telephone").isEmpty());
}

Listing listingOf(const Item& item)
{
    Listing l;
    l.type = item.types.value(0);
    QByteArray name = item.get("name");
    if (name.isEmpty())
        name = item.get("legalName");
    if (name.isEmpty()) {
        name = item.get("givenName");
        const QByteArray& family = item.get("familyName");
        if (!family.isEmpty())
            name = name.isEmpty() ? family : name + ' ' + family;
    }
    l.values[Name] = name;
    if (item.address) {
        l.values[Street] = item.address->get("streetAddress");
        l.values[City] = item.address->get("addressLocality");
        l.values[State] = item.address->get("addressRegion");
        l.values[Zip] = item.address->get("postalCode");
    } else if (!item.get("address").isEmpty()) {
        l.values[Street] = item.get("address");
    } else {
        // The address's parts given to the item itself, as some pages do.
        l.values[Street] = item.get("streetAddress");
        l.values[City] = item.get("addressLocality");
        l.values[State] = item.get("addressRegion");
        l.values[Zip] = item.get("postalCode");
    }
    l.values[Phone] = withoutScheme(item.get("telephone"), "tel:");
    l.values[WebSite] = item.get("url");
    l.values[Email] = withoutScheme(item.get("email"), "mailto:");
    return l;
}

// ---- JSON-LD ------------------------------------------------------------------------------

/** A value as text: a string, a number, the first of an array, an object's @value or name. */
QByteArray jsonText(const QJsonValue& value, int depth = 0)
{
    if (depth > 4)
        return {};
    switch (value.type()) {
    case QJsonValue::String: {
        QByteArray out;
        HtmlText::appendCleanValue(out, value.toString().toUtf8());
        return out;
    }
    case QJsonValue::Double: {
        const double d = value.toDouble();
        if (std::isfinite(d) && d == std::floor(d) && std::fabs(d) < 1e15)
            return QByteArray::number(qint64(d));
        return QByteArray::number(d, 'g', 15);
    }
    case QJsonValue::Array: {
        const QJsonArray a = value.toArray();
        for (qsizetype i = 0; i < a.size() && i < 16; ++i) {
            QByteArray t = jsonText(a.at(i), depth + 1);
            if (!t.isEmpty())
                return t;
        }
        return {};
    }
    case QJsonValue::Object: {
        const QJsonObject o = value.toObject();
        QByteArray t = jsonText(o.value(QLatin1String("@value")), depth + 1);
        return t.isEmpty() ? jsonText(o.value(QLatin1String("name")), depth + 1) : t;
    }
    default:
        return {};
    }
}

QList<QByteArray> jsonTypes(const QJsonObject& object)
{
    QList<QByteArray> out;
    const QJsonValue t = object.value(QLatin1String("@type"));
    if (t.isString()) {
        out.append(localName(t.toString().toUtf8()));
    } else if (t.isArray()) {
        const QJsonArray a = t.toArray();
        for (qsizetype i = 0; i < a.size() && i < 16; ++i)
            if (a.at(i).isString())
                out.append(localName(a.at(i).toString().toUtf8()));
    }
    return out;
}

Item jsonItem(const QJsonObject& object)
{
    Item item;
    item.types = jsonTypes(object);
    for (const char* name : {"name", "legalName", "givenName", "familyName", "telephone", "url", "email",
                             "streetAddress", "addressLocality", "addressRegion", "postalCode"})
        item.set(name, jsonText(object.value(QLatin1String(name))));
    QJsonValue address = object.value(QLatin1String("address"));
    if (address.isArray())
        address = address.toArray().first();
    if (address.isObject()) {
        const QJsonObject a = address.toObject();
        item.address = std::make_unique<Item>();
        item.address->types = jsonTypes(a);
        for (const char* name : {"addressLocality", "addressRegion", "postalCode"})
            item.address->set(name, jsonText(a.value(QLatin1String(name))));
        // A street of two lines comes as an array: both lines, joined.
        const QJsonValue street = a.value(QLatin1String("streetAddress"));
        QByteArray lines;
        if (street.isArray()) {
            const QJsonArray parts = street.toArray();
            for (qsizetype i = 0; i < parts.size() && i < 8; ++i) {
                const QByteArray part = jsonText(parts.at(i));
                if (!part.isEmpty())
                    lines += (lines.isEmpty() ? "" : ", ") + part;
            }
        } else {
            lines = jsonText(street);
        }
        item.address->set("streetAddress", lines);
    } else {
        item.set("address", jsonText(address));
    }
    return item;
}

void readJsonValue(const QJsonValue& top, std::vector<Listing>& out, qint64& visits)
{
    std::vector<std::pair<QJsonValue, int>> todo{{top, 0}};
    while (!todo.empty()) {
        auto [value, depth] = std::move(todo.back());
        todo.pop_back();
        if (++visits > kMaxVisits || int(out.size()) >= kMaxListings)
            return;
        if (depth > kMaxDepth)
            continue;
        // Later values go on the stack first, so that listings come in the page's order.
        if (value.isArray()) {
            const QJsonArray a = value.toArray();
            for (qsizetype i = a.size(); i > 0; --i)
                todo.emplace_back(a.at(i - 1), depth + 1);
            continue;
        }
        if (!value.isObject())
            continue;
        const QJsonObject object = value.toObject();
        Item item = jsonItem(object);
        if (isListing(item)) {
            out.push_back(listingOf(item));
            continue;
        }
        if (!isContainer(item.types))
            continue;
        const QStringList keys = object.keys();
        for (qsizetype i = keys.size(); i > 0; --i) {
            const QJsonValue v = object.value(keys.at(i - 1));
            if (v.isObject() || v.isArray())
                todo.emplace_back(v, depth + 1);
        }
    }
}

void readJsonLd(const std::vector<const GumboNode*>& elements,
                std::vector<Listing>& out, QStringList& problems)
{
    qint64 visits = 0;
    for (const GumboNode* e : elements) {
        if (HtmlDocument::tag(e) != GUMBO_TAG_SCRIPT)
            continue;
        const QByteArray type = trimmed(HtmlDocument::attribute(e, "type")).toLower();
        if (type != "application/ld+json")
            continue;
        QByteArray json;
        const GumboVector& children = e->v.element.children;
        for (unsigned k = 0; k < children.length; ++k) {
            const auto* child = static_cast<const GumboNode*>(children.data[k]);
            if (child->type == GUMBO_NODE_TEXT || child->type == GUMBO_NODE_WHITESPACE
                || child->type == GUMBO_NODE_CDATA)
                json.append(child->v.text.text);
        }
        if (json.size() > kMaxJsonBlockBytes) {
            problems.append(QObject::tr("a JSON-LD block of %1 MB is not read: it is larger than %2 MB")
                                .arg(double(json.size()) / (1 << 20), 0, 'f', 1)
                                .arg(kMaxJsonBlockBytes >> 20));
            continue;
        }
        QJsonParseError error;
        const QJsonDocument parsed = QJsonDocument::fromJson(json, &error);
        if (error.error != QJsonParseError::NoError) {
            problems.append(QObject::tr("a JSON-LD block is not valid JSON (%1 at byte %2)")
                                .arg(error.errorString())
                                .arg(error.offset));
            continue;
        }
        readJsonValue(parsed.isArray() ? QJsonValue(parsed.array()) : QJsonValue(parsed.object()), out, visits);
        if (visits > kMaxVisits) {
            problems.append(QObject::tr("the JSON-LD of the page is too large to read whole"));
            return;
        }
    }
}

// ---- microdata and RDFa -------------------------------------------------------------------

struct Vocabulary
{
    /** Marks an item's element (microdata: itemscope; RDFa: typeof). */
    const char* scope;
    const char* type;
    const char* property;
    bool rdfa;
};

constexpr Vocabulary kMicrodata{"itemscope", "itemtype", "itemprop", false};
constexpr Vocabulary kRdfa{"typeof", "typeof", "property", true};

class TreeItems
{
public:
    TreeItems(const std::vector<const GumboNode*>& elements, const Vocabulary& v) : m_elements(elements), m_v(v)
    {
    }

    void read(std::vector<Listing>& out, QStringList& problems)
    {
        // Items found to be listings, to leave alone the items that are their properties.
        std::unordered_set<const GumboNode*> listings;
        for (const GumboNode* e : m_elements) {
            if (!isItem(e))
                continue;
            if (HtmlDocument::hasAttribute(e, m_v.property)) {
                // A property of another item: a listing only in a list or a page.
                const GumboNode* owner = ownerItem(e);
                if (owner && (listings.count(owner) || !isContainer(typeNames(HtmlDocument::attribute(owner, m_v.type)))))
                    continue;
            }
            Item item = collect(e, 0);
            if (m_visits > kMaxVisits) {
                problems.append(m_v.rdfa ? QObject::tr("the RDFa of the page is too large to read whole")
                                         : QObject::tr("the microdata of the page is too large to read whole"));
                return;
            }
            if (isListing(item)) {
                listings.insert(e);
                out.push_back(listingOf(item));
                if (int(out.size()) >= kMaxListings)
                    return;
            }
        }
    }

private:
    bool isItem(const GumboNode* e) const { return HtmlDocument::hasAttribute(e, m_v.scope); }

    const GumboNode* ownerItem(const GumboNode* e) const
    {
        for (const GumboNode* p = e->parent; p; p = p->parent)
            if (isItem(p))
                return p;
        return nullptr;
    }

    const GumboNode* byId(QByteArrayView id)
    {
        if (!m_idsBuilt) {
            m_idsBuilt = true;
            for (const GumboNode* e : m_elements) {
                const QByteArrayView value = HtmlDocument::attribute(e, "id");
                if (!value.isEmpty())
                    m_ids.emplace(std::string(value.data(), size_t(value.size())), e);
            }
        }
        const auto it = m_ids.find(std::string(id.data(), size_t(id.size())));
        return it == m_ids.end() ? nullptr : it->second;
    }

    /** The value of the property @p name at @p e: its content attribute, an address
     *  (href, src) for a link or an embedded thing, a time's datetime, else its text.
     *  Pages give names and telephones as links; their text is what they mean. */
    QByteArray value(const GumboNode* e, const QByteArray& name) const
    {
        const QByteArrayView content = HtmlDocument::attribute(e, "content");
        if (!content.isNull())
            return trimmedValue(content);
        const bool address = name == "url" || name == "sameAs" || name == "image" || name == "logo" || name == "email";
        switch (HtmlDocument::tag(e)) {
        case GUMBO_TAG_A:
        case GUMBO_TAG_AREA:
        case GUMBO_TAG_LINK:
            if (!address) {
                QByteArray text = trimmedValue(HtmlDocument::text(e));
                if (!text.isEmpty())
                    return text;
            }
            return trimmedValue(HtmlDocument::attribute(e, "href"));
        case GUMBO_TAG_IMG:
        case GUMBO_TAG_AUDIO:
        case GUMBO_TAG_EMBED:
        case GUMBO_TAG_IFRAME:
        case GUMBO_TAG_SOURCE:
        case GUMBO_TAG_TRACK:
        case GUMBO_TAG_VIDEO:
            return trimmed(HtmlDocument::attribute(e, "src"));
        case GUMBO_TAG_OBJECT:
            return trimmed(HtmlDocument::attribute(e, "data"));
        case GUMBO_TAG_DATA:
        case GUMBO_TAG_METER:
            return trimmed(HtmlDocument::attribute(e, "value"));
        case GUMBO_TAG_TIME:
            if (HtmlDocument::hasAttribute(e, "datetime"))
                return trimmed(HtmlDocument::attribute(e, "datetime"));
            break;
        default:
            break;
        }
        return trimmedValue(HtmlDocument::text(e));
    }

    /** The properties of the item at @p e: its descendants up to nested items, and for
     *  microdata the elements its itemref names. Each element is visited once. */
    Item collect(const GumboNode* e, int depth)
    {
        Item item;
        item.types = typeNames(HtmlDocument::attribute(e, m_v.type));
        std::unordered_set<const GumboNode*> seen{e};
        std::vector<const GumboNode*> todo;
        auto pushChildren = [&todo](const GumboNode* n) {
            const GumboVector& children = n->v.element.children;
            for (unsigned k = children.length; k > 0; --k) {
                const auto* child = static_cast<const GumboNode*>(children.data[k - 1]);
                if (child->type == GUMBO_NODE_ELEMENT || child->type == GUMBO_NODE_TEMPLATE)
                    todo.push_back(child);
            }
        };
        pushChildren(e);
        if (!m_v.rdfa) {
            const QByteArrayView itemref = HtmlDocument::attribute(e, "itemref");
            qsizetype i = 0;
            while (i < itemref.size()) {
                while (i < itemref.size() && isSpace(itemref[i]))
                    ++i;
                qsizetype j = i;
                while (j < itemref.size() && !isSpace(itemref[j]))
                    ++j;
                if (j > i)
                    if (const GumboNode* target = byId(itemref.sliced(i, j - i)))
                        todo.push_back(target);
                i = j;
            }
        }
        while (!todo.empty()) {
            const GumboNode* n = todo.back();
            todo.pop_back();
            if (!seen.insert(n).second)
                continue;
            if (++m_visits > kMaxVisits)
                return item;
            const QByteArrayView names = HtmlDocument::attribute(n, m_v.property);
            const bool nested = isItem(n);
            if (!names.isNull()) {
                for (const QByteArray& name : typeNames(names)) {
                    if (nested) {
                        if (name == "address" && !item.address && depth < 2)
                            item.address = std::make_unique<Item>(collect(n, depth + 1));
                    } else {
                        item.set(name.toStdString(), value(n, name));
                    }
                }
            }
            if (!nested)
                pushChildren(n);
        }
        return item;
    }

    const std::vector<const GumboNode*>& m_elements;
    const Vocabulary& m_v;
    qint64 m_visits = 0;
    bool m_idsBuilt = false;
    std::unordered_map<std::string, const GumboNode*> m_ids;
};

QByteArray relNextLink(const HtmlDocument& document, const std::vector<const GumboNode*>& elements)
{
    for (const GumboNode* e : elements) {
        const GumboTag t = HtmlDocument::tag(e);
        if (t != GUMBO_TAG_A && t != GUMBO_TAG_LINK && t != GUMBO_TAG_AREA)
            continue;
        if (!HtmlDocument::hasToken(HtmlDocument::attribute(e, "rel"), "next"))
            continue;
        const QByteArray href = trimmed(document.rawAttribute(e, "href"));
        if (!href.isEmpty())
            return href;
    }
    return {};
}

} // namespace

bool IsListingType(QByteArrayView type)
{
    const std::string_view t(type.data(), size_t(type.size()));
    return std::binary_search(listingTypes().begin(), listingTypes().end(), t);
}

QString SourceName(Source source)
{
    switch (source) {
    case Source::JsonLd:
        return QStringLiteral("JSON-LD");
    case Source::Microdata:
        return QStringLiteral("microdata");
    case Source::Rdfa:
        return QStringLiteral("RDFa");
    case Source::None:
        break;
    }
    return QString();
}

Reading Read(QByteArrayView page)
{
    const HtmlDocument document(page);
    return Read(document);
}

Reading Read(const HtmlDocument& document)
{
    Reading r;
    if (!document.isRead()) {
        r.problems.append(document.problem());
        return r;
    }
    const std::vector<const GumboNode*> elements = document.elements();
    std::vector<Listing> json, micro, rdfa;
    readJsonLd(elements, json, r.problems);
    TreeItems(elements, kMicrodata).read(micro, r.problems);
    TreeItems(elements, kRdfa).read(rdfa, r.problems);
    r.found = {int(json.size()), int(micro.size()), int(rdfa.size())};
    if (!json.empty() && json.size() >= micro.size() && json.size() >= rdfa.size()) {
        r.listings = std::move(json);
        r.source = Source::JsonLd;
    } else if (!micro.empty() && micro.size() >= rdfa.size()) {
        r.listings = std::move(micro);
        r.source = Source::Microdata;
    } else if (!rdfa.empty()) {
        r.listings = std::move(rdfa);
        r.source = Source::Rdfa;
    }
    r.nextLink = relNextLink(document, elements);
    return r;
}

} // namespace quillon::StructuredData

namespace quillon {

ParsedPage ParseStructuredListings(const StructuredData::Reading& reading, const GrabKey& key,
                                   const ParseContext& context)
{
    ParsedPage out;
    const bool canCarryState = context.sheetColumns > kStateColumn;
    if (context.sheetColumns <= kNameColumn)
        return out;
    bool haveAbove = context.hasRecordAbove && canCarryState;
    QByteArray above = haveAbove ? context.stateAbove : QByteArray();

    int pass = 0;
    for (const StructuredData::Listing& listing : reading.listings) {
        if (pass++ >= key.listingsPerPage)
            break;
        if (listing.values[StructuredData::Name].isEmpty())
            continue;
        const size_t first = out.cells.size();
        for (int c = 0; c < StructuredData::ColumnCount && c < context.sheetColumns; ++c) {
            QByteArray value = listing.values[size_t(c)];
            if (c == kStateColumn && value.isEmpty() && haveAbove)
                value = above;
            if (value.isEmpty())
                continue;
            const qsizetype offset = out.values.size();
            out.values.append(value);
            out.cells.push_back({c, offset, value.size()});
        }
        if (canCarryState) {
            above.clear();
            for (size_t i = first; i < out.cells.size(); ++i)
                if (out.cells[i].column == kStateColumn)
                    above = out.value(out.cells[i]).toByteArray();
            haveAbove = true;
        }
        out.rowEnds.push_back(out.cells.size());
        if (context.stopRequested) {
            out.stopped = true;
            break;
        }
    }
    return out;
}

} // namespace quillon
