#include "process/ILoggerBagKeys.h"

namespace qirn {

const StBagKeyNoDefault ILoggerBagKeys::message("message");
const StBagKeyWithDefault<VLong, EMessageLevel> ILoggerBagKeys::level("level", EML_Information);
const StBagKeyNoDefault ILoggerBagKeys::source("source");
const StBagKeyNoDefault ILoggerBagKeys::task_name("task_name");
const StBagKeyNoDefault ILoggerBagKeys::file_name("file_name");
const StBagKeyNoDefault ILoggerBagKeys::stack_crawl("stack_crawl");
const StBagKeyNoDefault ILoggerBagKeys::line_number("line_number");
const StBagKeyNoDefault ILoggerBagKeys::component_signature("component_signature");
const StBagKeyNoDefault ILoggerBagKeys::elapsed_milliseconds("elapsed_milliseconds");
const StBagKeyNoDefault ILoggerBagKeys::count_bytes_sent("count_bytes_sent");
const StBagKeyNoDefault ILoggerBagKeys::count_bytes_received("count_bytes_received");
const StBagKeyNoDefault ILoggerBagKeys::base_context_uuid("base_context_uuid");
const StBagKeyNoDefault ILoggerBagKeys::error_code("error_code");
const StBagKeyNoDefault ILoggerBagKeys::count_bytes_asked("count_bytes_asked");
const StBagKeyNoDefault ILoggerBagKeys::socket("socket");
const StBagKeyNoDefault ILoggerBagKeys::is_blocking("is_blocking");
const StBagKeyNoDefault ILoggerBagKeys::is_ssl("is_ssl");
const StBagKeyNoDefault ILoggerBagKeys::is_select_io("is_select_io");
const StBagKeyNoDefault ILoggerBagKeys::payload("payload");
const StBagKeyNoDefault ILoggerBagKeys::ms_timeout("ms_timeout");
const StBagKeyNoDefault ILoggerBagKeys::ms_spent("ms_spent");
const StBagKeyNoDefault ILoggerBagKeys::dump_offset("dump_offset");
const StBagKeyNoDefault ILoggerBagKeys::dump_buffer("dump_buffer");
const StBagKeyNoDefault ILoggerBagKeys::local_addr("local_addr");
const StBagKeyNoDefault ILoggerBagKeys::peer_addr("peer_addr");
const StBagKeyNoDefault ILoggerBagKeys::local_port("local_port");
const StBagKeyNoDefault ILoggerBagKeys::peer_port("peer_port");
const StBagKeyNoDefault ILoggerBagKeys::task_id("task_id");
const StBagKeyNoDefault ILoggerBagKeys::exchange_id("exchange_id");
const StBagKeyNoDefault ILoggerBagKeys::debug_context("debug_context");
const StBagKeyNoDefault ILoggerBagKeys::jobId("jobId");
const StBagKeyNoDefault ILoggerBagKeys::jobState("jobState");
const StBagKeyNoDefault ILoggerBagKeys::pipe("pipe");
const StBagKeyNoDefault ILoggerBagKeys::user_id("user_id");
const StBagKeyNoDefault ILoggerBagKeys::stream_id("stream_id");
const StBagKeyNoDefault ILoggerBagKeys::system_username("system_username");
const StBagKeyNoDefault ILoggerBagKeys::hostname("hostname");

} // namespace qirn
