/* A minimal system VISA library for the facade's tests: one resource manager, instruments at
   GPIB0::7 and GPIB0::8 that answer each message with "ECHO <message>\n", and the time-out
   attribute. Widths as the IVI standard has them on LP64. */
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#define OK 0
#define TERM_CHAR 0x3FFF0005
#define INV_OBJECT ((int32_t)0xBFFF000E)
#define RSRC_NFOUND ((int32_t)0xBFFF0011)
#define NSUP_ATTR ((int32_t)0xBFFF001D)
#define ATTR_TMO 0x3FFF001Au
#define RM 1u
#define FIND_LIST 2u
#define FIRST_INSTR 10u

static char last[256];
static uint32_t timeout = 2000;
static int finds_left;
static uint64_t last_attr_value;

int32_t viOpenDefaultRM(uint32_t* rm) {
  *rm = RM;
  return OK;
}

int32_t viOpen(uint32_t rm, const char* name, uint32_t mode, uint32_t tmo, uint32_t* vi) {
  (void)mode;
  (void)tmo;
  if (rm != RM) return INV_OBJECT;
  if (strncmp(name, "GPIB0::7", 8) == 0) *vi = FIRST_INSTR;
  else if (strncmp(name, "GPIB0::8", 8) == 0) *vi = FIRST_INSTR + 1;
  else return RSRC_NFOUND;
  return OK;
}

int32_t viClose(uint32_t vi) {
  (void)vi;
  return OK;
}

int32_t viSetAttribute(uint32_t vi, uint32_t attr, uint64_t value) {
  if (vi < FIRST_INSTR) return INV_OBJECT;
  last_attr_value = value;
  if (attr != ATTR_TMO) return NSUP_ATTR;
  timeout = (uint32_t)value;
  return OK;
}

int32_t viGetAttribute(uint32_t vi, uint32_t attr, void* value) {
  if (vi < FIRST_INSTR) return INV_OBJECT;
  if (attr != ATTR_TMO) return NSUP_ATTR;
  memcpy(value, &timeout, sizeof timeout);
  return OK;
}

int32_t viSetBuf(uint32_t vi, uint16_t mask, uint32_t size) {
  (void)mask;
  (void)size;
  return vi >= FIRST_INSTR ? OK : INV_OBJECT;
}

int32_t viWrite(uint32_t vi, const unsigned char* buf, uint32_t count, uint32_t* written) {
  if (vi < FIRST_INSTR) return INV_OBJECT;
  uint32_t n = count < sizeof last - 1 ? count : (uint32_t)sizeof last - 1;
  memcpy(last, buf, n);
  last[n] = '\0';
  if (n > 0 && last[n - 1] == '\n') last[n - 1] = '\0';
  if (written) *written = count;
  return OK;
}

int32_t viRead(uint32_t vi, unsigned char* buf, uint32_t count, uint32_t* got) {
  if (vi < FIRST_INSTR) return INV_OBJECT;
  char reply[300];
  int n = snprintf(reply, sizeof reply, "ECHO %s\n", last);
  if ((uint32_t)n > count) n = (int)count;
  memcpy(buf, reply, (size_t)n);
  if (got) *got = (uint32_t)n;
  return TERM_CHAR;
}

int32_t viFindRsrc(uint32_t rm, const char* expr, uint32_t* list, uint32_t* count, char* desc) {
  (void)expr;
  if (rm != RM) return INV_OBJECT;
  strcpy(desc, "GPIB0::7::INSTR");
  finds_left = 1;
  if (list) *list = FIND_LIST;
  if (count) *count = 2;
  return OK;
}

int32_t viFindNext(uint32_t list, char* desc) {
  if (list != FIND_LIST || finds_left == 0) return RSRC_NFOUND;
  finds_left--;
  strcpy(desc, "GPIB0::8::INSTR");
  return OK;
}

/* For the tests: the last attribute value set, to check its 64-bit width arrived whole. */
uint64_t fake_visa_last_attribute_value(void) {
  return last_attr_value;
}
