# Writes OUTPUT, a C++ file holding every migrations/NNNN_name.sql of SOURCE_DIR as a raw string,
# in the order of their numbers: the SQL is read by people in the repository and run by the
# programs from their own binary. Run at build time (cmake -P), whenever a file changes.
file(GLOB files RELATIVE ${SOURCE_DIR}/migrations ${SOURCE_DIR}/migrations/*.sql)
list(SORT files)
set(body "")
foreach(file ${files})
  if(NOT file MATCHES "^([0-9][0-9][0-9][0-9])_([a-z0-9_]+)\\.sql$")
    message(FATAL_ERROR "records_db/migrations/${file}: not named NNNN_name.sql")
  endif()
  math(EXPR number "${CMAKE_MATCH_1}")
  set(name ${CMAKE_MATCH_2})
  file(READ ${SOURCE_DIR}/migrations/${file} sql)
  if(sql MATCHES "\\)qvx_sql\"")
    message(FATAL_ERROR "records_db/migrations/${file} holds the string's closing delimiter")
  endif()
  string(APPEND body "    {${number}, \"${name}\", R\"qvx_sql(${sql})qvx_sql\"},\n")
endforeach()
file(WRITE ${OUTPUT}.new
  "// Made by records_db/embed_migrations.cmake from records_db/migrations/*.sql: do not edit.\n"
  "#include \"records_db/migrations.h\"\n\n"
  "namespace qvx::records_db {\n\n"
  "const std::vector<Migration>& Migrations() {\n"
  "  static const std::vector<Migration> kMigrations{\n${body}  };\n"
  "  return kMigrations;\n}\n\n}  // namespace qvx::records_db\n")
# Only a changed file is rewritten, so an unchanged one compiles nothing again.
file(COPY_FILE ${OUTPUT}.new ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.new)
