#pragma once

#include "bags_xml/StBagKeyNoDefault.h"
#include "bags_xml/StBagKeyWithDefault.h"
#include "core/VLong.h"
#include "process/EMessageLevel.h"

namespace qirn {

// Attributes of a log entry. An entry without "level" is an INFO one: INFO
// entries carry none. The comments give the value each attribute holds.
namespace ILoggerBagKeys {
extern const StBagKeyNoDefault message; // text
extern const StBagKeyWithDefault<VLong, EMessageLevel> level;
extern const StBagKeyNoDefault source; // text
extern const StBagKeyNoDefault task_name; // text
extern const StBagKeyNoDefault file_name; // text
extern const StBagKeyNoDefault stack_crawl; // text
extern const StBagKeyNoDefault line_number; // VLong
extern const StBagKeyNoDefault component_signature; // VLong, a four-character code
extern const StBagKeyNoDefault elapsed_milliseconds; // VLong
extern const StBagKeyNoDefault count_bytes_sent; // VLong
extern const StBagKeyNoDefault count_bytes_received; // VLong
extern const StBagKeyNoDefault base_context_uuid; // VUUID
extern const StBagKeyNoDefault error_code; // VLong8
extern const StBagKeyNoDefault count_bytes_asked; // VLong
extern const StBagKeyNoDefault socket; // VLong8
extern const StBagKeyNoDefault is_blocking; // VBoolean
extern const StBagKeyNoDefault is_ssl; // VBoolean
extern const StBagKeyNoDefault is_select_io; // VBoolean
extern const StBagKeyNoDefault payload; // text
extern const StBagKeyNoDefault ms_timeout; // VLong
extern const StBagKeyNoDefault ms_spent; // VLong
extern const StBagKeyNoDefault dump_offset; // VLong
extern const StBagKeyNoDefault dump_buffer; // text
extern const StBagKeyNoDefault local_addr; // text
extern const StBagKeyNoDefault peer_addr; // text
extern const StBagKeyNoDefault local_port; // VLong
extern const StBagKeyNoDefault peer_port; // VLong
extern const StBagKeyNoDefault task_id; // VLong
extern const StBagKeyNoDefault exchange_id; // VBoolean
extern const StBagKeyNoDefault debug_context; // VLong8
extern const StBagKeyNoDefault jobId; // text
extern const StBagKeyNoDefault jobState; // VLong
extern const StBagKeyNoDefault pipe; // text
extern const StBagKeyNoDefault user_id; // text
extern const StBagKeyNoDefault stream_id; // text
extern const StBagKeyNoDefault system_username; // text
extern const StBagKeyNoDefault hostname; // text
} // namespace ILoggerBagKeys

} // namespace qirn
