FUNCTION reuse_alv_events_get.
* The events of the simple list (type 0) and the others, without forms.
  DATA ls_event TYPE slis_alv_event.
  DATA lv_json TYPE string.
  lv_json = '{'.
  PERFORM json_member USING 'call' 'REUSE_ALV_EVENTS_GET' CHANGING lv_json.
  PERFORM json_member USING 'I_LIST_TYPE' i_list_type CHANGING lv_json.
  CONCATENATE lv_json '}' INTO lv_json.
  PERFORM emit USING lv_json.
  IF i_list_type < 0 OR i_list_type > 4.
    RAISE list_type_wrong.
  ENDIF.
  CLEAR et_events.
  ls_event-name = 'CALLER_EXIT'.      APPEND ls_event TO et_events.
  ls_event-name = 'USER_COMMAND'.     APPEND ls_event TO et_events.
  ls_event-name = 'TOP_OF_PAGE'.      APPEND ls_event TO et_events.
  ls_event-name = 'TOP_OF_COVERPAGE'. APPEND ls_event TO et_events.
  ls_event-name = 'END_OF_COVERPAGE'. APPEND ls_event TO et_events.
  ls_event-name = 'FOREIGN_TOP_OF_PAGE'. APPEND ls_event TO et_events.
  ls_event-name = 'FOREIGN_END_OF_PAGE'. APPEND ls_event TO et_events.
  ls_event-name = 'PF_STATUS_SET'.    APPEND ls_event TO et_events.
  ls_event-name = 'LIST_MODIFY'.      APPEND ls_event TO et_events.
  ls_event-name = 'TOP_OF_LIST'.      APPEND ls_event TO et_events.
  ls_event-name = 'END_OF_PAGE'.      APPEND ls_event TO et_events.
  ls_event-name = 'END_OF_LIST'.      APPEND ls_event TO et_events.
  ls_event-name = 'AFTER_LINE_OUTPUT'. APPEND ls_event TO et_events.
  ls_event-name = 'BEFORE_LINE_OUTPUT'. APPEND ls_event TO et_events.
  ls_event-name = 'SUBTOTAL_TEXT'.    APPEND ls_event TO et_events.
ENDFUNCTION.
