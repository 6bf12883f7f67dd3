#include "tools/sample_school/school.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "base/utf8.h"
#include "passes/learner_status.h"

namespace varnholt::sample {

const char kSchoolShape[] =
    "Learner_info: id 1..N; LearnerID 10000+id; AccessionNo equals LearnerID except for about\n"
    "  2% (90000000+id, so the import's link look-up by AccessionNo finds nothing for them);\n"
    "  BirthDate YYYYMMDD (Text(8)); thedate a Date/Time at midnight, about 3% with a time of day;\n"
    "  Status about 45% \"C\", 35% \"A\", the rest \"L\", \"X\", \"a\", \"I\" or NULL; Class a Classid,\n"
    "  about 2% 999 (no such class); names with accents, apostrophes and a few non-Latin\n"
    "  nicknames (Zo\xC3\xAB, Andr\xC3\xA9, O'Neill, Nkosi, M\xC3\xBCller, \xE5\xB0\x8F\xE4\xBC\x9F);"
    " NULLs in SecondName, NickName, Gender,\n"
    "  HomeLanguage, IDNo and the medical-aid fields; a NickName holding a double quote.\n"
    "Parent_info: ParentId 1..P; Sname, Title, postal and street addresses, Tel1..3, IDNumber,\n"
    "  SpouseID, with NULLs in the optional ones; a Streetaddress1 holding a double quote.\n"
    "Parent_child: childid = Learner_info.id, learnerid = LearnerID, Parentid = ParentId; one row\n"
    "  per learner, except about 4% with none and 7% with a second row (listed after all first\n"
    "  rows). Every parent has a child when N >= P.\n"
    "Classes: Classid 101..100+C; ClassName \"Gr R\"..\"Gr 12\" with a section letter (\"Gr 5B\");\n"
    "  EdCode a teacher code, some shared by two classes, the last class's NULL.\n"
    "The first ten learners always show the special cases: 1 Zo\xC3\xAB M\xC3\xBCller (C),"
    " 2 Andr\xC3\xA9 O'Neill (A),\n"
    "  3 no link, 4 two links, 5 status X with a quoted nickname, 6 class 999, 7 AccessionNo\n"
    "  differs, 8 status and optional fields NULL, 9 status \"a\", 10 a non-Latin nickname.\n";

namespace {

// splitmix64: small, fast and the same everywhere, unlike the standard distributions.
class Rng {
 public:
  explicit Rng(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // 0 <= result < n. REQUIRES: n > 0.
  int Below(int n) { return static_cast<int>(Next() % static_cast<uint64_t>(n)); }
  // True with the given chance in percent.
  bool Percent(int chance) { return Below(100) < chance; }
  template <typename T, size_t N>
  const T& Pick(const std::array<T, N>& items) {
    return items[static_cast<size_t>(Below(static_cast<int>(N)))];
  }

 private:
  uint64_t state_;
};

constexpr std::array<std::string_view, 40> kSurnames = {
    "M\xC3\xBCller", "O'Neill",   "Nkosi",      "van der Merwe", "Dlamini",   "Naidoo",
    "Botha",        "Pretorius", "Zulu",       "Mokoena",       "Smith",     "Nel",
    "Jacobs",       "Ferreira",  "Khumalo",    "Ndlovu",        "Govender",  "Pillay",
    "le Roux",      "du Plessis", "Coetzee",   "van Wyk",       "Mahlangu",  "Sithole",
    "Fourie",       "Williams",  "Adams",      "Mthembu",       "Venter",    "Kruger",
    "Mabaso",       "Steyn",     "D'Almeida",  "Gon\xC3\xA7" "alves", "N\xC3\xB6thling", "Hendricks",
    "Petersen",     "Moodley",   "Chen",       "Concei\xC3\xA7\xC3\xA3o"};  // ã is not in code page 437

constexpr std::array<std::string_view, 18> kGirls = {
    "Zo\xC3\xAB",  "Thandiwe", "Anika",  "Lerato",  "Chlo\xC3\xA9", "Naledi",
    "Emma",        "Aisha",    "Mia",    "Zanele",  "L\xC3\xA9" "a", "Refilwe",
    "Priya",       "Sarah",    "Nomvula", "Am\xC3\xA9lie", "Karabo", "Ayanda"};

constexpr std::array<std::string_view, 18> kBoys = {
    "Andr\xC3\xA9", "Sipho",  "Johan",   "Thabo", "Liam",   "Ruan",
    "Kabelo",       "Mohammed", "Pieter", "Sibusiso", "Noah", "Jos\xC3\xA9",
    "Bongani",      "Ethan",  "Ren\xC3\xA9", "Tshepo", "Dani\xC3\xABl", "Kagiso"};

constexpr std::array<std::string_view, 8> kNicknames = {"Bongi", "Tumi", "Jo-Jo", "Zee",
                                                        "Dr\xC3\xA9", "Kiki", "Sbu", "Nono"};

constexpr std::array<std::string_view, 9> kLanguages = {
    "English", "Afrikaans", "isiZulu", "isiXhosa", "Sesotho", "Setswana", "Sepedi", "German",
    "Portuguese"};

constexpr std::array<std::string_view, 7> kMedicalAids = {
    "Discovery Health", "Bonitas", "Momentum Health", "Medshield", "GEMS", "Fedhealth", "Bestmed"};

constexpr std::array<std::string_view, 6> kTitles = {"Mr", "Mrs", "Ms", "Dr", "Prof", "Mnr"};

struct Town {
  std::string_view suburb;
  std::string_view city;
  std::string_view code;
};
constexpr std::array<Town, 8> kTowns = {{{"Rondebosch", "Cape Town", "7700"},
                                         {"Brooklyn", "Pretoria", "0181"},
                                         {"Morningside", "Durban", "4001"},
                                         {"Melville", "Johannesburg", "2092"},
                                         {"Die Boord", "Stellenbosch", "7600"},
                                         {"Summerstrand", "Gqeberha", "6001"},
                                         {"Westdene", "Bloemfontein", "9301"},
                                         {"Sea Point", "Cape Town", "8005"}}};

constexpr std::array<std::string_view, 8> kStreets = {
    "Main Road", "Church Street", "Oak Avenue", "Voortrekker Road", "Jan Smuts Avenue",
    "Bree Street", "Kloof Street", "Akasia Laan"};

constexpr int kFirstLearnerId = 10000;
constexpr int kOtherAccessionBase = 90000000;  // beyond every LearnerID
constexpr int kFirstClassId = 100;
constexpr int kMissingClassId = 999;

std::string Digits(Rng& rng, int count) {
  std::string s;
  for (int i = 0; i < count; ++i) s.push_back(static_cast<char>('0' + rng.Below(10)));
  return s;
}

std::string Pad(int value, int width) {
  std::string s = std::to_string(value);
  while (static_cast<int>(s.size()) < width) s.insert(s.begin(), '0');
  return s;
}

// A 13-digit identity number: birth date, sequence (below 5000 for women), citizenship, 8, and
// a Luhn check digit.
std::string IdentityNumber(Rng& rng, int year, int month, int day, bool female) {
  std::string id = Pad(year % 100, 2) + Pad(month, 2) + Pad(day, 2) +
                   Pad(rng.Below(5000) + (female ? 0 : 5000), 4) + "08";
  int sum = 0;
  for (size_t i = 0; i < id.size(); ++i) {
    int d = id[id.size() - 1 - i] - '0';
    if (i % 2 == 0) {
      d *= 2;
      if (d > 9) d -= 9;
    }
    sum += d;
  }
  id.push_back(static_cast<char>('0' + (10 - sum % 10) % 10));
  return id;
}

// The first character of a UTF-8 text, for initials.
std::string FirstLetter(const std::string& name) {
  if (name.empty()) return {};
  return name.substr(0, NextUtf8Character(name, 0));
}

std::string Phone(Rng& rng, std::string_view prefix) {
  return std::string(prefix) + " 555 " + Digits(rng, 4);
}

Parent MakeParent(Rng& rng, int index) {
  Parent p;
  p.parent_id = index + 1;
  p.surname = std::string(rng.Pick(kSurnames));
  if (rng.Percent(95)) p.title = std::string(rng.Pick(kTitles));
  const Town& town = rng.Pick(kTowns);
  const std::string street =
      std::to_string(1 + rng.Below(250)) + " " + std::string(rng.Pick(kStreets));
  p.street_address1 = street;
  p.street_address2 = std::string(town.suburb);
  if (rng.Percent(85)) p.street_address3 = std::string(town.city);
  p.street_code = std::string(town.code);
  if (rng.Percent(40)) {
    p.postal_address1 = "PO Box " + std::to_string(1 + rng.Below(9000));
    p.postal_address2 = std::string(town.suburb);
    if (rng.Percent(90)) p.postal_address3 = std::string(town.city);
  } else {
    p.postal_address1 = street;
    p.postal_address2 = std::string(town.suburb);
    if (rng.Percent(90)) p.postal_address3 = std::string(town.city);
  }
  p.postal_code = std::string(town.code);
  if (rng.Percent(97)) p.tel1 = Phone(rng, rng.Percent(50) ? "082" : "071");
  if (rng.Percent(50)) p.tel2 = Phone(rng, "021");
  if (rng.Percent(15)) p.tel3 = Phone(rng, "083");
  const int year = 1965 + rng.Below(26);
  const int month = 1 + rng.Below(12);
  const int day = 1 + rng.Below(28);
  const bool female = rng.Percent(50);
  if (rng.Percent(90)) p.id_number = IdentityNumber(rng, year, month, day, female);
  if (rng.Percent(55)) {
    p.spouse_id = IdentityNumber(rng, year + rng.Below(5) - 2, 1 + rng.Below(12),
                                 1 + rng.Below(28), !female);
  }
  return p;
}

SchoolClass MakeClass(int index, int count) {
  static constexpr std::array<std::string_view, 13> kGrades = {
      "Gr R", "Gr 1", "Gr 2", "Gr 3", "Gr 4", "Gr 5", "Gr 6",
      "Gr 7", "Gr 8", "Gr 9", "Gr 10", "Gr 11", "Gr 12"};
  SchoolClass c;
  c.class_id = kFirstClassId + index + 1;
  const int section = index / 13;
  std::string name = std::string(kGrades[static_cast<size_t>(index % 13)]);
  name += section < 26 ? std::string(1, static_cast<char>('A' + section))
                       : "-" + std::to_string(section + 1);
  c.class_name = name;
  // Fewer teachers than classes: the last fifth of the classes share a teacher with earlier ones.
  const int teachers = std::max(1, count - count / 5);
  if (index != count - 1 || count < 5) c.ed_code = "E" + Pad(1 + index % teachers, 3);
  return c;
}

Text Status(Rng& rng) {
  const int roll = rng.Below(100);
  if (roll < 45) return learner_status::kSourceCurrent;
  if (roll < 80) return learner_status::kSourceDeparted;
  if (roll < 88) return "L";
  if (roll < 92) return "X";
  if (roll < 95) return "a";
  if (roll < 98) return "I";
  return std::nullopt;
}

Learner MakeLearner(Rng& rng, int index, const std::vector<Parent>& parents, int parent,
                    const std::vector<SchoolClass>& classes) {
  Learner l;
  l.id = index + 1;
  l.learner_id = kFirstLearnerId + index + 1;
  l.accession_no = rng.Percent(2) ? std::to_string(kOtherAccessionBase + index + 1)
                                  : std::to_string(*l.learner_id);
  const bool female = rng.Percent(50);
  if (rng.Percent(97)) l.gender = female ? "F" : "M";
  const std::string first(female ? rng.Pick(kGirls) : rng.Pick(kBoys));
  l.first_name = first;
  std::string initials = FirstLetter(first);
  if (rng.Percent(55)) {
    const std::string second(female ? rng.Pick(kGirls) : rng.Pick(kBoys));
    l.second_name = second;
    initials += FirstLetter(second);
  }
  l.initials = initials;
  if (parent >= 0 && rng.Percent(92)) {
    l.surname = parents[static_cast<size_t>(parent)].surname;
  } else {
    l.surname = std::string(rng.Pick(kSurnames));
  }
  if (rng.Percent(25)) l.nick_name = std::string(rng.Pick(kNicknames));
  const int year = 2006 + rng.Below(14);
  const int month = 1 + rng.Below(12);
  const int day = 1 + rng.Below(28);
  l.birth_date = Pad(year, 4) + Pad(month, 2) + Pad(day, 2);
  const int admitted_year = std::min(2024, year + 6 + rng.Below(6));
  l.admitted = rng.Percent(3)
                   ? jet::DateTime::FromCivil(admitted_year, 1 + rng.Below(12), 1 + rng.Below(28),
                                              8 + rng.Below(8), 15 * rng.Below(4), 0)
                   : jet::DateTime::FromCivil(admitted_year, 1, 10 + rng.Below(10));
  if (classes.empty() || rng.Percent(2)) {
    l.class_id = kMissingClassId;
  } else {
    l.class_id = classes[static_cast<size_t>(rng.Below(static_cast<int>(classes.size())))].class_id;
  }
  l.status = Status(rng);
  if (rng.Percent(95)) l.home_language = std::string(rng.Pick(kLanguages));
  if (rng.Percent(85)) l.id_no = IdentityNumber(rng, year, month, day, female);
  if (rng.Percent(60)) {
    l.medical_aid_name = std::string(rng.Pick(kMedicalAids));
    l.medical_aid_no = Digits(rng, 9);
    if (parent >= 0) {
      const Parent& p = parents[static_cast<size_t>(parent)];
      l.medical_aid_member = p.title ? *p.title + " " + *p.surname : *p.surname;
    }
  }
  return l;
}

// The first learners always show the cases the import and the report must handle.
void ApplyShowcase(School& school, std::vector<bool>& no_link, std::vector<bool>& two_links) {
  auto& ls = school.learners;
  for (size_t i = 0; i < std::min<size_t>(10, ls.size()); ++i) {
    no_link[i] = i == 2;
    two_links[i] = i == 3;
  }
  auto name = [&](size_t i, const char* first, const char* last, const char* gender) {
    if (i >= ls.size()) return false;
    ls[i].first_name = first;
    ls[i].surname = last;
    ls[i].gender = gender;
    ls[i].initials = FirstLetter(first);
    ls[i].second_name.reset();
    return true;
  };
  if (name(0, "Zo\xC3\xAB", "M\xC3\xBCller", "F")) ls[0].status = learner_status::kSourceCurrent;
  if (name(1, "Andr\xC3\xA9", "O'Neill", "M")) ls[1].status = learner_status::kSourceDeparted;
  if (name(2, "Sipho", "Nkosi", "M")) {
    ls[2].status = learner_status::kSourceCurrent;
  }
  if (name(3, "Thandiwe", "Dlamini", "F")) {
    ls[3].status = learner_status::kSourceCurrent;
  }
  if (name(4, "Johan", "van der Merwe", "M")) {
    ls[4].status = "X";
    ls[4].nick_name = "\"JJ\"";
  }
  if (name(5, "Lerato", "Mokoena", "F")) {
    ls[5].status = learner_status::kSourceCurrent;
    ls[5].class_id = kMissingClassId;
  }
  if (name(6, "Pieter", "Botha", "M")) {
    ls[6].status = learner_status::kSourceCurrent;
    ls[6].accession_no = std::to_string(kOtherAccessionBase + 7);
  }
  if (name(7, "Liam", "Naidoo", "M")) {
    Learner& l = ls[7];
    l.status.reset();
    l.nick_name.reset();
    l.home_language.reset();
    l.id_no.reset();
    l.medical_aid_no.reset();
    l.medical_aid_name.reset();
    l.medical_aid_member.reset();
  }
  if (name(8, "Chlo\xC3\xA9", "Pillay", "F")) ls[8].status = "a";
  if (name(9, "Wei", "Chen", "M")) {
    ls[9].status = learner_status::kSourceCurrent;
    ls[9].nick_name = "\xE5\xB0\x8F\xE4\xBC\x9F";  // 小伟
  }
  if (school.parents.size() > 1) {
    school.parents[1].street_address1 = "Unit 4 \"Die Eike\"";
  }
}

}  // namespace

School GenerateSchool(const SchoolOptions& options) {
  Rng rng(options.seed);
  School school;
  const int num_parents = std::max(0, options.parents);
  const int num_learners = std::max(0, options.learners);
  const int num_classes = std::max(0, options.classes);

  for (int k = 0; k < num_classes; ++k) school.classes.push_back(MakeClass(k, num_classes));
  for (int j = 0; j < num_parents; ++j) school.parents.push_back(MakeParent(rng, j));

  // The first P learners take the parents in shuffled order, so every parent has a child when
  // there are enough learners; the rest join random families.
  std::vector<int> order(static_cast<size_t>(num_parents));
  for (int j = 0; j < num_parents; ++j) order[static_cast<size_t>(j)] = j;
  for (int j = num_parents - 1; j > 0; --j) {
    std::swap(order[static_cast<size_t>(j)], order[static_cast<size_t>(rng.Below(j + 1))]);
  }
  std::vector<int> family(static_cast<size_t>(num_learners), -1);
  std::vector<bool> no_link(static_cast<size_t>(num_learners), false);
  std::vector<bool> two_links(static_cast<size_t>(num_learners), false);
  for (int i = 0; i < num_learners; ++i) {
    const auto u = static_cast<size_t>(i);
    if (num_parents > 0) {
      family[u] = i < num_parents ? order[u] : rng.Below(num_parents);
    }
    school.learners.push_back(MakeLearner(rng, i, school.parents, family[u], school.classes));
    no_link[u] = rng.Percent(4);
    two_links[u] = !no_link[u] && rng.Percent(7);
  }
  ApplyShowcase(school, no_link, two_links);

  if (num_parents > 0) {
    std::vector<ParentLink> second;
    for (int i = 0; i < num_learners; ++i) {
      const auto u = static_cast<size_t>(i);
      if (no_link[u]) continue;
      const Learner& l = school.learners[u];
      school.links.push_back({l.id, l.learner_id, school.parents[static_cast<size_t>(family[u])].parent_id});
      if (two_links[u] && num_parents > 1) {
        int other = rng.Below(num_parents - 1);
        if (other >= family[u]) ++other;
        second.push_back({l.id, l.learner_id, school.parents[static_cast<size_t>(other)].parent_id});
      }
    }
    school.links.insert(school.links.end(), second.begin(), second.end());
  }
  return school;
}

}  // namespace varnholt::sample
