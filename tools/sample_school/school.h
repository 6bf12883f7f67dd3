// The sample school: learners, parents, their links and classes, as the school-administration
// database holds them. GenerateSchool makes a realistic, deterministic one; tests build their own
// by hand. source_database.h writes a School as the Jet database the import reads.
#ifndef VARNHOLT_TOOLS_SAMPLE_SCHOOL_SCHOOL_H_
#define VARNHOLT_TOOLS_SAMPLE_SCHOOL_SCHOOL_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/jetwriter/jet_writer.h"

namespace varnholt::sample {

// Every field may be NULL (nullopt), so tests can build any row the database could hold.
using Text = std::optional<std::string>;
using Number = std::optional<int32_t>;
using Date = std::optional<jet::DateTime>;

// A row of Learner_info; the comments give the column names.
struct Learner {
  Number id;                // id
  Number learner_id;        // LearnerID
  Text accession_no;        // AccessionNo: digits; equal to LearnerID for most learners
  Text initials;            // Initials
  Text surname;             // SName
  Text first_name;          // FName
  Text second_name;         // SecondName
  Text nick_name;           // NickName
  Text birth_date;          // BirthDate: YYYYMMDD
  Date admitted;            // thedate
  Number class_id;          // Class: a Classes.Classid
  Text status;              // Status
  Text gender;              // Gender
  Text home_language;       // HomeLanguage
  Text id_no;               // IDNo
  Text medical_aid_no;      // MedicalAidNo
  Text medical_aid_name;    // MedicalaidName
  Text medical_aid_member;  // MedicalaidMember
};

// A row of Parent_info.
struct Parent {
  Number parent_id;  // ParentId
  Text surname;      // Sname
  Text title;        // Title
  Text postal_address1, postal_address2, postal_address3;  // PostalAddress1..3
  Text postal_code;                                         // PostalCode
  Text street_address1, street_address2, street_address3;  // Streetaddress1..3
  Text street_code;                                         // Streetcode
  Text tel1, tel2, tel3;                                    // Tel1..3
  Text id_number;                                           // IDNumber
  Text spouse_id;                                           // SpouseID
};

// A row of Parent_child.
struct ParentLink {
  Number child_id;    // childid: the learner's id
  Number learner_id;  // learnerid: the learner's LearnerID
  Number parent_id;   // Parentid
};

// A row of Classes.
struct SchoolClass {
  Number class_id;  // Classid
  Text class_name;  // ClassName
  Text ed_code;     // EdCode: the class teacher's code; teachers may have several classes
};

struct School {
  std::vector<Learner> learners;
  std::vector<Parent> parents;
  std::vector<ParentLink> links;
  std::vector<SchoolClass> classes;
};

struct SchoolOptions {
  int learners = 600;
  int parents = 450;
  int classes = 40;
  uint64_t seed = 1;
};

// A school of the given size; the same options give the same school. Ids: learner id 1..N,
// LearnerID 10000 + id, ParentId 1..P, Classid 100 + k. Counts of zero are allowed.
// What the data holds (shared by --help): see kSchoolShape.
School GenerateSchool(const SchoolOptions& options);

// A description of the generated data, for the tool's help.
extern const char kSchoolShape[];

}  // namespace varnholt::sample

#endif  // VARNHOLT_TOOLS_SAMPLE_SCHOOL_SCHOOL_H_
