// The learner status codes on both sides. The school database marks each learner in
// Learner_info.Status; the import and the Update turn two of its codes into the accounting
// product's CH01_STATUS and CH01_CLASS and leave a learner with any other code as it is.
#ifndef VARNHOLT_PASSES_LEARNER_STATUS_H_
#define VARNHOLT_PASSES_LEARNER_STATUS_H_

namespace varnholt::learner_status {

// Learner_info.Status: a learner who has left the school, and one who attends it.
inline constexpr char kSourceDeparted[] = "A";
inline constexpr char kSourceCurrent[] = "C";

// CH01_STATUS and CH01_CLASS: a departed learner becomes inactive in the class kept for them; a
// current one active in their own class.
inline constexpr char kTargetInactive[] = "I";
inline constexpr char kInactiveClass[] = "ZZ";
inline constexpr char kTargetActive[] = "A";

}  // namespace varnholt::learner_status

#endif  // VARNHOLT_PASSES_LEARNER_STATUS_H_
