# Run by cpack on the staged files just before it packs them: every file and
# folder gets the time SOURCE_DATE_EPOCH (scripts/package.sh sets it to the
# commit's time), whatever time the checkout or the build gave it, so that two
# builds of one commit give the same packages.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  execute_process(COMMAND find ${CPACK_TEMPORARY_DIRECTORY} -exec touch -h -d @$ENV{SOURCE_DATE_EPOCH} {} +
                  COMMAND_ERROR_IS_FATAL ANY)
endif()
