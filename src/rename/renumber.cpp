#include "rename/renumber.h"

#include "shots/temp_name.h"

namespace shotrenum {

MoveStep RecordMoves::At(long i, char (&fromRoom)[64], char (&)[64]) const {
  const ShotRecord& record = records_[i];
  const char* from = record.name;
  if (record.stranded) {
    TempName(fromRoom, StrandedStamp(record), record.name);
    from = fromRoom;
  }
  return MoveStep{from, record.stranded, record.target, record.writeTime, false};
}

}  // namespace shotrenum
