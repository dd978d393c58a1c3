# Program text is GBK in the binary, UTF-8 in the sources. clang has no
# -fexec-charset=GBK, so every build turns a UTF-8 message list into a header
# of escaped GBK bytes with iconv.
#
#   pk_gbk_header(OUTPUT <header> INPUT <list.txt> NAMESPACE <ns>)
#
# The list holds one "Name = text" per line; '#' starts a comment line.
set(PK_GBK_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/../tools/gen_gbk_header.sh)
function(pk_gbk_header)
  cmake_parse_arguments(ARG "" "OUTPUT;INPUT;NAMESPACE" "" ${ARGN})
  add_custom_command(
    OUTPUT ${ARG_OUTPUT}
    COMMAND bash ${PK_GBK_SCRIPT} ${ARG_INPUT} ${ARG_OUTPUT} ${ARG_NAMESPACE}
    DEPENDS ${ARG_INPUT} ${PK_GBK_SCRIPT}
    COMMENT "GBK text: ${ARG_INPUT}"
    VERBATIM)
endfunction()
