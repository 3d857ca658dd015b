// Whether the tests are built with AddressSanitizer, which needs address
// space of its own as it goes: under a limit it stops the process instead of
// letting an allocation fail.
#ifndef FIELDPREP_SANITIZER_H_
#define FIELDPREP_SANITIZER_H_

#if defined(__SANITIZE_ADDRESS__)
#define FIELDPREP_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define FIELDPREP_ADDRESS_SANITIZER 1
#endif
#endif

#endif  // FIELDPREP_SANITIZER_H_
