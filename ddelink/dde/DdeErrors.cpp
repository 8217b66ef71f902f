#include "ddelink/dde/DdeErrors.h"

#include <windows.h>
// windows.h first: ddeml.h relies on its types.
#include <ddeml.h>

#include <cstdio>

namespace zel {

namespace {

struct ErrorName {
  unsigned code;
  const char* name;
  const char* meaning;
};

constexpr ErrorName Errors[] = {
    {DMLERR_ADVACKTIMEOUT, "DMLERR_ADVACKTIMEOUT", "a synchronous advise transaction timed out"},
    {DMLERR_BUSY, "DMLERR_BUSY", "the partner answered that it is busy"},
    {DMLERR_DATAACKTIMEOUT, "DMLERR_DATAACKTIMEOUT", "a synchronous request timed out"},
    {DMLERR_DLL_NOT_INITIALIZED, "DMLERR_DLL_NOT_INITIALIZED",
     "DDEML was called without a valid instance"},
    {DMLERR_DLL_USAGE, "DMLERR_DLL_USAGE",
     "the instance is not allowed this (client-only or monitor instance, or a name registered "
     "twice)"},
    {DMLERR_EXECACKTIMEOUT, "DMLERR_EXECACKTIMEOUT", "a synchronous execute timed out"},
    {DMLERR_INVALIDPARAMETER, "DMLERR_INVALIDPARAMETER", "DDEML rejected a parameter"},
    {DMLERR_LOW_MEMORY, "DMLERR_LOW_MEMORY", "a server outran its client and memory ran low"},
    {DMLERR_MEMORY_ERROR, "DMLERR_MEMORY_ERROR", "a memory allocation failed"},
    {DMLERR_NOTPROCESSED, "DMLERR_NOTPROCESSED", "the transaction failed"},
    {DMLERR_NO_CONV_ESTABLISHED, "DMLERR_NO_CONV_ESTABLISHED",
     "no conversation could be established"},
    {DMLERR_POKEACKTIMEOUT, "DMLERR_POKEACKTIMEOUT", "a synchronous poke timed out"},
    {DMLERR_POSTMSG_FAILED, "DMLERR_POSTMSG_FAILED", "posting a DDE message failed"},
    {DMLERR_REENTRANCY, "DMLERR_REENTRANCY",
     "a synchronous transaction was started while another was in progress, or callbacks were "
     "enabled from within a callback"},
    {DMLERR_SERVER_DIED, "DMLERR_SERVER_DIED", "the partner ended the conversation"},
    {DMLERR_SYS_ERROR, "DMLERR_SYS_ERROR", "an internal error occurred in DDEML"},
    {DMLERR_UNADVACKTIMEOUT, "DMLERR_UNADVACKTIMEOUT", "ending an advise link timed out"},
    {DMLERR_UNFOUND_QUEUE_ID, "DMLERR_UNFOUND_QUEUE_ID", "no such transaction"},
};

}  // namespace

std::string DdemlErrorText(unsigned code) {
  for (const auto& error : Errors)
    if (error.code == code) return std::string(error.name) + ": " + error.meaning;
  char text[48];
  std::snprintf(text, sizeof text, "DDEML error 0x%04X", code);
  return text;
}

}  // namespace zel
