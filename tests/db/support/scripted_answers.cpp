#include "tests/db/support/scripted_answers.h"

fakeodbc::Answer ReportingLength(SQLLEN length) {
  fakeodbc::Answer answer;
  answer.runDefault = true;
  answer.length = length;
  return answer;
}

fakeodbc::Answer ReportingRowStatus(SQLUSMALLINT status) {
  fakeodbc::Answer answer;
  answer.runDefault = true;
  answer.rowStatus = status;
  return answer;
}
