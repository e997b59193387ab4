# The end-to-end cases of run_case.sh (functions case_NAME in cases.sh).
set(E2E_CASES
  interactive_samples
  interactive_sanitised_name
  interactive_display_part
  interactive_pdm
  post_command_blanks
  post_command_metacharacters
  batch_single_part
  batch_job_list
  batch_pdm_list
  result_records
  pdm_commands
  pdm_query_failure
  bad_part_files
  command_line_errors
  cgm_export)
