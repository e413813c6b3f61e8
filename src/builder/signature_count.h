// Counting the Authenticode signatures in a certificate table, for the
// builder's reports. Nothing here checks a signature: that is Windows' job
// (or osslsigncode verify's). Builder only; the stub never links it.
#pragma once

#include <cstddef>
#include <cstdint>

// Counts the signatures in the certificate table `table` of `size` bytes
// (pe_signature.h): the signers of each record's PKCS#7 SignedData and the
// signatures nested in their unsigned attributes, as `signtool sign /as` and
// `osslsigncode sign -nest` add them. Counter-signatures (time stamps) are
// not signatures of the file and do not count. Records that are not readable
// DER SignedData count 0.
uint32_t CountTableSignatures(const uint8_t* table, size_t size);
