#include "sap/sandbox/DemoRows.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <set>
#include <string>
#include <iterator>
#include <tuple>
#include <vector>

namespace orvex::sap {
// The fixed demo rows, compiled into the program.
extern const char kSandboxDemoRowsJson[];
}  // namespace orvex::sap

namespace orvex::sap::sandbox {

namespace {

using nlohmann::json;

// splitmix64 with a fixed seed: the same numbers everywhere (the standard
// library's distributions differ between implementations).
class Random {
public:
    int below(int n) { return static_cast<int>(next() % static_cast<std::uint64_t>(n)); }
    bool chance(int percent) { return below(100) < percent; }

private:
    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    std::uint64_t state_ = 20240301;
};

// Days since 1970-01-01 and back (the proleptic Gregorian calendar).
long days(int y, int m, int d) {
    y -= m <= 2;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const long yoe = y - era * 400;
    const long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    return era * 146097 + yoe * 365 + yoe / 4 - yoe / 100 + doy - 719468;
}
std::string date(long z) {
    z += 719468;
    const long era = (z >= 0 ? z : z - 146096) / 146097;
    const long doe = z - era * 146097;
    const long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long mp = (5 * doy + 2) / 153;
    const long d = doy - (153 * mp + 2) / 5 + 1;
    const long m = mp + (mp < 10 ? 3 : -9);
    char text[64];
    std::snprintf(text, sizeof text, "%04ld%02ld%02ld", yoe + era * 400 + (m <= 2), m, d);
    return text;
}
std::string digits(long value, int width) {
    char text[24];
    std::snprintf(text, sizeof text, "%0*ld", width, value);
    return text;
}
std::string clockTime(int minutes) { return digits((minutes / 60 % 24) * 10000 + minutes % 60 * 100, 6); }
double amount(long cents) { return static_cast<double>(cents) / 100.0; }

struct Carrier {
    const char *id, *name, *currency, *url;
};
// Carriers besides the fixed ones, each with its own currency.
const Carrier kCarriers[] = {
    {"AF", "Air France", "EUR", "http://www.airfrance.fr"},
    {"AZ", "Alitalia", "EUR", "http://www.alitalia.it"},
    {"BA", "British Airways", "GBP", "http://www.british-airways.com"},
    {"QF", "Qantas Airways", "AUD", "http://www.qantas.com.au"},
    {"SR", "Swiss", "CHF", "http://www.swiss.com"},
};

struct Airport {
    const char *id, *name, *zone, *country, *city;
};
const Airport kAirports[] = {
    {"CDG", "Charles de Gaulle", "UTC+1", "FR", "PARIS"}, {"FCO", "Leonardo da Vinci", "UTC+1", "IT", "ROME"},
    {"FRA", "Frankfurt/Main", "UTC+1", "DE", "FRANKFURT"}, {"JFK", "John F. Kennedy", "UTC-5", "US", "NEW YORK"},
    {"LHR", "London Heathrow", "UTC", "GB", "LONDON"},     {"NRT", "Narita", "UTC+9", "JP", "TOKYO"},
    {"SFO", "San Francisco", "UTC-8", "US", "SAN FRANCISCO"}, {"SIN", "Changi", "UTC+8", "SG", "SINGAPORE"},
    {"SXF", "Schoenefeld", "UTC+1", "DE", "BERLIN"},      {"SYD", "Kingsford Smith", "UTC+10", "AU", "SYDNEY"},
    {"ZRH", "Zurich", "", "CH", "ZURICH"},  // its time zone left blank
};
const Airport& airport(const std::string& id) {
    for (const Airport& a : kAirports)
        if (id == a.id) return a;
    return kAirports[0];
}

struct Connection {
    const char *carrier, *id, *from, *to;
    int minutes, departure, kilometres;
    long price;  // in cents of the carrier's currency
};
const Connection kConnections[] = {
    {"AF", "0010", "CDG", "JFK", 480, 10 * 60 + 30, 5834, 61000}, {"AF", "0023", "CDG", "FRA", 75, 7 * 60, 479, 15900},
    {"AZ", "0555", "FCO", "FRA", 125, 19 * 60, 962, 18500},       {"AZ", "0788", "FCO", "NRT", 775, 12 * 60, 9857, 104200},
    {"AZ", "0790", "NRT", "FCO", 815, 10 * 60 + 35, 9857, 104200}, {"BA", "0117", "LHR", "JFK", 475, 8 * 60 + 20, 5540, 55000},
    {"BA", "0118", "JFK", "LHR", 420, 18 * 60 + 30, 5540, 55000},  {"BA", "0903", "LHR", "FRA", 95, 6 * 60 + 50, 655, 12900},
    {"QF", "0005", "SYD", "SIN", 480, 16 * 60, 6290, 98000},       {"QF", "0006", "SIN", "SYD", 450, 20 * 60 + 45, 6290, 98000},
    {"SR", "0316", "ZRH", "LHR", 100, 9 * 60 + 15, 788, 21000},    {"SR", "0317", "LHR", "ZRH", 95, 13 * 60, 788, 21000},
    {"AA", "0026", "JFK", "FRA", 445, 17 * 60 + 30, 6162, 60600},  {"LH", "0454", "FRA", "SFO", 720, 13 * 60 + 30, 9100, 150300},
};

struct Plane {
    const char* type;
    int seats, business, first;
};
const Plane kPlanes[] = {{"747-400", 385, 31, 21}, {"A319", 220, 22, 10}, {"A340-600", 330, 30, 20},
                         {"A380-800", 475, 42, 14}, {"767-200", 260, 30, 12}};

const char* const kFirstNames[] = {"Anna", "Ben", "Chiara", "David", "Elena", "Frank", "Greta", "Hiro",
                                   "Ines", "Jack", "Kate", "Luis", "Mia", "Noah", "Olga", "Paul"};
const char* const kLastNames[] = {"Schmidt", "Miller", "Rossi", "Tanaka", "Dubois", "Smith", "Kowalski", "Jensen",
                                  "Garcia", "Brown", "Novak", "Weber", "Lee", "Martin", "Fischer", "O'Neill"};
const char* const kStreets[] = {"Main Street", "Hauptstrasse", "Via Roma", "Rue de la Paix", "High Street",
                                "Ginza", "Bahnhofstrasse", "Ocean Avenue"};

void carriers(json& rows) {
    for (const Carrier& c : kCarriers)
        rows["SCARR"].push_back({{"CARRID", c.id}, {"CARRNAME", c.name}, {"CURRCODE", c.currency}, {"URL", c.url}});
}

void airports(json& rows) {
    for (const Airport& a : kAirports) {
        json row = {{"ID", a.id}, {"NAME", a.name}};
        if (*a.zone) row["TIME_ZONE"] = a.zone;
        rows["SAIRPORT"].push_back(std::move(row));
    }
}

void connections(json& rows) {
    for (const Connection& c : kConnections) {
        const Airport &from = airport(c.from), &to = airport(c.to);
        const int arrival = c.departure + c.minutes;
        json row = {{"CARRID", c.carrier}, {"CONNID", c.id},        {"COUNTRYFR", from.country}, {"CITYFROM", from.city},
                    {"AIRPFROM", from.id}, {"COUNTRYTO", to.country}, {"CITYTO", to.city},         {"AIRPTO", to.id},
                    {"FLTIME", c.minutes}, {"DEPTIME", clockTime(c.departure)}, {"ARRTIME", clockTime(arrival)},
                    {"DISTANCE", c.kilometres}, {"DISTID", "KM"}};
        if (arrival >= 24 * 60) row["PERIOD"] = arrival / (24 * 60);
        rows["SPFLI"].push_back(std::move(row));
    }
}

void customers(json& rows, Random& random, int count) {
    for (int id = 1; id <= count; ++id) {
        const Airport& home = kAirports[random.below(static_cast<int>(std::size(kAirports)))];
        const bool business = random.chance(20);
        json row = {{"ID", digits(id, 8)},
                    {"NAME", std::string(kFirstNames[random.below(16)]) + " " + kLastNames[random.below(16)]},
                    {"STREET", std::to_string(1 + random.below(120)) + " " + kStreets[random.below(8)]},
                    {"POSTCODE", digits(random.below(100000), 5)}, {"CITY", home.city}, {"COUNTRY", home.country},
                    {"CUSTTYPE", business ? "B" : "P"}, {"DISCOUNT", digits(business ? 10 * (1 + random.below(3)) : 0, 3)},
                    {"LANGU", home.country == std::string("DE") ? "D" : "E"}};
        if (!business) row["FORM"] = random.chance(50) ? "Mr." : "Ms.";
        if (random.chance(60)) row["TELEPHONE"] = "+" + digits(random.below(100), 2) + " " + digits(random.below(10000000), 7);
        if (random.chance(50)) row["EMAIL"] = "customer" + digits(id, 4) + "@example.com";
        if (home.country == std::string("US")) row["REGION"] = home.id == std::string("JFK") ? "NY" : "CA";
        rows["SCUSTOM"].push_back(std::move(row));
    }
}

// Flights across 2023 to 2025 on the generated connections and on the fixed
// ones that have flights, and some bookings on each flight that has seats
// taken. Connections without flights (JL 0407, UA 3517) and LH 2402, which
// flies for free, get none; nor do dates the fixed rows already use.
void flightsAndBookings(json& rows, Random& random, int customerCount) {
    std::vector<std::tuple<std::string, std::string, long>> flown;  // carrier, connection, price
    for (const Connection& c : kConnections) flown.emplace_back(c.carrier, c.id, c.price);
    for (const auto& [carrier, id, price] : {std::tuple("AA", "0017", 42294L), std::tuple("AA", "0064", 42294L),
                                             std::tuple("LH", "0400", 66600L), std::tuple("LH", "0402", 66900L),
                                             std::tuple("UA", "0941", 129900L)})
        flown.emplace_back(carrier, id, price);
    std::set<std::tuple<std::string, std::string, std::string>> taken;
    for (const json& f : rows["SFLIGHT"]) taken.emplace(f["CARRID"], f["CONNID"], f.value("FLDATE", "00000000"));
    auto currencyOf = [&](const std::string& carrier) {
        for (const json& c : rows["SCARR"])
            if (c["CARRID"] == carrier) return c.value("CURRCODE", std::string());
        return std::string();
    };
    std::vector<json> customers = rows["SCUSTOM"];
    long bookingNumber = 0;
    const long first = days(2023, 1, 1), last = days(2025, 12, 31);
    for (const auto& [carrier, id, price] : flown) {
        const std::string currency = currencyOf(carrier);
        for (long day = first + random.below(30); day <= last; day += 40 + random.below(25)) {
            const std::string flightDate = date(day);
            if (!taken.emplace(carrier, id, flightDate).second) continue;
            json flight = {{"CARRID", carrier}, {"CONNID", id}, {"FLDATE", flightDate}, {"CURRENCY", currency}};
            const long fare = price * (85 + random.below(40)) / 100;
            flight["PRICE"] = amount(fare);
            int occupied = 0;
            if (random.chance(96)) {  // the rest not yet given a plane
                const Plane& plane = kPlanes[random.below(static_cast<int>(std::size(kPlanes)))];
                occupied = day < days(2024, 3, 1) ? plane.seats / 2 + random.below(plane.seats / 2 + 1)
                                                  : random.below(plane.seats / 2);
                const int business = random.below(plane.business + 1), firstClass = random.below(plane.first + 1);
                flight.update({{"PLANETYPE", plane.type}, {"SEATSMAX", plane.seats}, {"SEATSOCC", occupied},
                               {"PAYMENTSUM", amount(fare * (occupied + 2L * business + 3L * firstClass))},
                               {"SEATSMAX_B", plane.business}, {"SEATSOCC_B", business},
                               {"SEATSMAX_F", plane.first}, {"SEATSOCC_F", firstClass}});
            }
            rows["SFLIGHT"].push_back(flight);
            const int bookings = occupied == 0 ? 0 : std::min(occupied, 4 + random.below(6));
            for (int b = 0; b < bookings; ++b) {
                const json& customer = customers[static_cast<std::size_t>(random.below(customerCount))];
                const int cls = random.below(100);
                const long paid = fare * (cls < 80 ? 1 : cls < 95 ? 2 : 3);
                json booking = {{"CARRID", carrier}, {"CONNID", id}, {"FLDATE", flightDate},
                                {"BOOKID", digits(++bookingNumber, 8)}, {"CUSTOMID", customer["ID"]},
                                {"CUSTTYPE", customer["CUSTTYPE"]}, {"LUGGWEIGHT", random.below(300) / 10.0},
                                {"WUNIT", "KG"}, {"CLASS", cls < 80 ? "Y" : cls < 95 ? "C" : "F"},
                                {"FORCURAM", amount(paid)}, {"FORCURKEY", currency},
                                {"LOCCURAM", amount(paid)}, {"LOCCURKEY", currency},
                                {"ORDER_DATE", date(day - 1 - random.below(120))},
                                {"PASSNAME", customer["NAME"]}};
                if (random.chance(10)) booking["SMOKER"] = "X";
                if (random.chance(30)) booking["INVOICE"] = "X";
                if (random.chance(5)) booking["CANCELLED"] = "X";
                if (random.chance(40)) booking["AGENCYNUM"] = digits(100 + random.below(20), 8);
                else booking["COUNTER"] = digits(1 + random.below(9), 8);
                if (customer.contains("FORM")) booking["PASSFORM"] = customer["FORM"];
                if (random.chance(70)) booking["PASSBIRTH"] = date(days(1940, 1, 1) + random.below(65 * 365));
                rows["SBOOK"].push_back(std::move(booking));
            }
        }
    }
}

}  // namespace

const json& demoRows() {
    static const json rows = [] {
        json all = json::parse(kSandboxDemoRowsJson);
        all.erase("_about");
        Random random;
        carriers(all);
        airports(all);
        connections(all);
        constexpr int kCustomers = 250;
        customers(all, random, kCustomers);
        flightsAndBookings(all, random, kCustomers);
        return all;
    }();
    return rows;
}

}  // namespace orvex::sap::sandbox
