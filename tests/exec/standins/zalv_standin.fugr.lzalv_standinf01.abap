* JSON writing for the captured calls. Values are written as JSON strings
* in ABAP's conversion to text: numbers without blanks, character fields
* without trailing blanks.

FORM json_value USING iv_value TYPE any CHANGING cv_json TYPE string.
  DATA lv_text TYPE string.
  DATA lv_kind TYPE c LENGTH 1.
  DESCRIBE FIELD iv_value TYPE lv_kind.
  lv_text = iv_value.
  IF lv_kind = 'P' OR lv_kind = 'I' OR lv_kind = 'F' OR lv_kind = 'b' OR lv_kind = 's' OR lv_kind = '8'.
    CONDENSE lv_text NO-GAPS.
  ENDIF.
  REPLACE ALL OCCURRENCES OF '\' IN lv_text WITH '\\'.
  REPLACE ALL OCCURRENCES OF '"' IN lv_text WITH '\"'.
  CONCATENATE cv_json '"' lv_text '"' INTO cv_json RESPECTING BLANKS.
ENDFORM.

* A comma before every member of an object but the first.
FORM json_separator CHANGING cv_json TYPE string.
  DATA lv_last TYPE i.
  lv_last = strlen( cv_json ) - 1.
  IF cv_json+lv_last(1) <> '{'.
    CONCATENATE cv_json ',' INTO cv_json.
  ENDIF.
ENDFORM.

* Adds "name":value to the object being written.
FORM json_member USING iv_name TYPE string iv_value TYPE any CHANGING cv_json TYPE string.
  PERFORM json_separator CHANGING cv_json.
  CONCATENATE cv_json '"' iv_name '":' INTO cv_json.
  PERFORM json_value USING iv_value CHANGING cv_json.
ENDFORM.

* Adds "name":<raw JSON> (an object or array already written).
FORM json_raw_member USING iv_name TYPE string iv_raw TYPE string CHANGING cv_json TYPE string.
  PERFORM json_separator CHANGING cv_json.
  CONCATENATE cv_json '"' iv_name '":' iv_raw INTO cv_json.
ENDFORM.

FORM emit USING iv_line TYPE string.
  OPEN DATASET gc_capture FOR APPENDING IN TEXT MODE ENCODING UTF-8.
  IF sy-subrc <> 0.
    MESSAGE 'The ALV stand-in cannot write its capture file' TYPE 'X'.
  ENDIF.
  TRANSFER iv_line TO gc_capture.
  CLOSE DATASET gc_capture.
ENDFORM.

FORM variant_json USING is_variant TYPE disvariant CHANGING cv_json TYPE string.
  cv_json = '{'.
  PERFORM json_member USING 'REPORT' is_variant-report CHANGING cv_json.
  PERFORM json_member USING 'HANDLE' is_variant-handle CHANGING cv_json.
  PERFORM json_member USING 'LOG_GROUP' is_variant-log_group CHANGING cv_json.
  PERFORM json_member USING 'USERNAME' is_variant-username CHANGING cv_json.
  PERFORM json_member USING 'VARIANT' is_variant-variant CHANGING cv_json.
  PERFORM json_member USING 'TEXT' is_variant-text CHANGING cv_json.
  CONCATENATE cv_json '}' INTO cv_json.
ENDFORM.

FORM fieldcat_json USING it_fieldcat TYPE slis_t_fieldcat_alv CHANGING cv_json TYPE string.
  DATA ls_fc TYPE slis_fieldcat_alv.
  DATA lv_entry TYPE string.
  cv_json = '['.
  LOOP AT it_fieldcat INTO ls_fc.
    lv_entry = '{'.
    PERFORM json_member USING 'COL_POS' ls_fc-col_pos CHANGING lv_entry.
    PERFORM json_member USING 'FIELDNAME' ls_fc-fieldname CHANGING lv_entry.
    PERFORM json_member USING 'TABNAME' ls_fc-tabname CHANGING lv_entry.
    PERFORM json_member USING 'REF_FIELDNAME' ls_fc-ref_fieldname CHANGING lv_entry.
    PERFORM json_member USING 'REF_TABNAME' ls_fc-ref_tabname CHANGING lv_entry.
    PERFORM json_member USING 'SELTEXT_L' ls_fc-seltext_l CHANGING lv_entry.
    PERFORM json_member USING 'SELTEXT_M' ls_fc-seltext_m CHANGING lv_entry.
    PERFORM json_member USING 'SELTEXT_S' ls_fc-seltext_s CHANGING lv_entry.
    PERFORM json_member USING 'OUTPUTLEN' ls_fc-outputlen CHANGING lv_entry.
    PERFORM json_member USING 'KEY' ls_fc-key CHANGING lv_entry.
    PERFORM json_member USING 'NO_OUT' ls_fc-no_out CHANGING lv_entry.
    PERFORM json_member USING 'DO_SUM' ls_fc-do_sum CHANGING lv_entry.
    PERFORM json_member USING 'NO_SUM' ls_fc-no_sum CHANGING lv_entry.
    PERFORM json_member USING 'HOTSPOT' ls_fc-hotspot CHANGING lv_entry.
    PERFORM json_member USING 'EMPHASIZE' ls_fc-emphasize CHANGING lv_entry.
    PERFORM json_member USING 'CFIELDNAME' ls_fc-cfieldname CHANGING lv_entry.
    PERFORM json_member USING 'QFIELDNAME' ls_fc-qfieldname CHANGING lv_entry.
    CONCATENATE lv_entry '}' INTO lv_entry.
    IF sy-tabix > 1.
      CONCATENATE cv_json ',' INTO cv_json.
    ENDIF.
    CONCATENATE cv_json lv_entry INTO cv_json.
  ENDLOOP.
  CONCATENATE cv_json ']' INTO cv_json.
ENDFORM.

FORM sort_json USING it_sort TYPE slis_t_sortinfo_alv CHANGING cv_json TYPE string.
  DATA ls_sort TYPE slis_sortinfo_alv.
  DATA lv_entry TYPE string.
  cv_json = '['.
  LOOP AT it_sort INTO ls_sort.
    lv_entry = '{'.
    PERFORM json_member USING 'SPOS' ls_sort-spos CHANGING lv_entry.
    PERFORM json_member USING 'FIELDNAME' ls_sort-fieldname CHANGING lv_entry.
    PERFORM json_member USING 'TABNAME' ls_sort-tabname CHANGING lv_entry.
    PERFORM json_member USING 'UP' ls_sort-up CHANGING lv_entry.
    PERFORM json_member USING 'DOWN' ls_sort-down CHANGING lv_entry.
    PERFORM json_member USING 'GROUP' ls_sort-group CHANGING lv_entry.
    PERFORM json_member USING 'SUBTOT' ls_sort-subtot CHANGING lv_entry.
    PERFORM json_member USING 'COMP' ls_sort-comp CHANGING lv_entry.
    PERFORM json_member USING 'EXPA' ls_sort-expa CHANGING lv_entry.
    CONCATENATE lv_entry '}' INTO lv_entry.
    IF sy-tabix > 1.
      CONCATENATE cv_json ',' INTO cv_json.
    ENDIF.
    CONCATENATE cv_json lv_entry INTO cv_json.
  ENDLOOP.
  CONCATENATE cv_json ']' INTO cv_json.
ENDFORM.

FORM layout_json USING is_layout TYPE slis_layout_alv CHANGING cv_json TYPE string.
  cv_json = '{'.
  PERFORM json_member USING 'ZEBRA' is_layout-zebra CHANGING cv_json.
  PERFORM json_member USING 'COLWIDTH_OPTIMIZE' is_layout-colwidth_optimize CHANGING cv_json.
  PERFORM json_member USING 'NO_TOTALLINE' is_layout-no_totalline CHANGING cv_json.
  PERFORM json_member USING 'TOTALS_ONLY' is_layout-totals_only CHANGING cv_json.
  PERFORM json_member USING 'TOTALS_TEXT' is_layout-totals_text CHANGING cv_json.
  PERFORM json_member USING 'SUBTOTALS_TEXT' is_layout-subtotals_text CHANGING cv_json.
  PERFORM json_member USING 'WINDOW_TITLEBAR' is_layout-window_titlebar CHANGING cv_json.
  CONCATENATE cv_json '}' INTO cv_json.
ENDFORM.

FORM events_json USING it_events TYPE slis_t_event CHANGING cv_json TYPE string.
  DATA ls_event TYPE slis_alv_event.
  DATA lv_entry TYPE string.
  DATA lv_count TYPE i.
  cv_json = '['.
  LOOP AT it_events INTO ls_event WHERE form IS NOT INITIAL.
    lv_entry = '{'.
    PERFORM json_member USING 'NAME' ls_event-name CHANGING lv_entry.
    PERFORM json_member USING 'FORM' ls_event-form CHANGING lv_entry.
    CONCATENATE lv_entry '}' INTO lv_entry.
    lv_count = lv_count + 1.
    IF lv_count > 1.
      CONCATENATE cv_json ',' INTO cv_json.
    ENDIF.
    CONCATENATE cv_json lv_entry INTO cv_json.
  ENDLOOP.
  CONCATENATE cv_json ']' INTO cv_json.
ENDFORM.

* What both display functions do: record the call, run the top-of-page
* callback the way the ALV does before it shows the first page, then record
* every row of the output table by the field catalogue's field names (the
* columns the ALV shows). A catalogue field the output table lacks is a
* runtime error on SAP; it is recorded as an error line here.
FORM display USING iv_function TYPE string
                   iv_program TYPE any
                   iv_top_of_page TYPE any
                   iv_title TYPE any
                   is_layout TYPE slis_layout_alv
                   it_fieldcat TYPE slis_t_fieldcat_alv
                   it_sort TYPE slis_t_sortinfo_alv
                   iv_default TYPE any
                   iv_save TYPE any
                   is_variant TYPE disvariant
                   it_events TYPE slis_t_event
                   it_outtab TYPE STANDARD TABLE.
  DATA lv_json TYPE string.
  DATA lv_part TYPE string.
  DATA lv_program TYPE c LENGTH 40.
  DATA lv_form TYPE c LENGTH 30.
  DATA lv_rows TYPE i.
  DATA ls_fc TYPE slis_fieldcat_alv.
  DATA lt_fieldcat TYPE slis_t_fieldcat_alv.
  DATA ls_event TYPE slis_alv_event.
  DATA lv_field TYPE string.
  FIELD-SYMBOLS <ls_row> TYPE any.
  FIELD-SYMBOLS <lv_cell> TYPE any.

  lv_program = iv_program.
  lv_json = '{'.
  PERFORM json_member USING 'call' iv_function CHANGING lv_json.
  PERFORM json_member USING 'I_CALLBACK_PROGRAM' iv_program CHANGING lv_json.
  PERFORM json_member USING 'I_CALLBACK_TOP_OF_PAGE' iv_top_of_page CHANGING lv_json.
  PERFORM json_member USING 'I_GRID_TITLE' iv_title CHANGING lv_json.
  PERFORM json_member USING 'I_DEFAULT' iv_default CHANGING lv_json.
  PERFORM json_member USING 'I_SAVE' iv_save CHANGING lv_json.
  PERFORM layout_json USING is_layout CHANGING lv_part.
  PERFORM json_raw_member USING 'IS_LAYOUT' lv_part CHANGING lv_json.
  PERFORM variant_json USING is_variant CHANGING lv_part.
  PERFORM json_raw_member USING 'IS_VARIANT' lv_part CHANGING lv_json.
  lt_fieldcat = it_fieldcat.
  PERFORM dictionary_headings CHANGING lt_fieldcat.
  PERFORM fieldcat_json USING lt_fieldcat CHANGING lv_part.
  PERFORM json_raw_member USING 'IT_FIELDCAT' lv_part CHANGING lv_json.
  PERFORM sort_json USING it_sort CHANGING lv_part.
  PERFORM json_raw_member USING 'IT_SORT' lv_part CHANGING lv_json.
  PERFORM events_json USING it_events CHANGING lv_part.
  PERFORM json_raw_member USING 'IT_EVENTS' lv_part CHANGING lv_json.
  CONCATENATE lv_json '}' INTO lv_json.
  PERFORM emit USING lv_json.

  lv_form = iv_top_of_page.
  IF lv_form IS NOT INITIAL.
    PERFORM (lv_form) IN PROGRAM (lv_program).
  ENDIF.
  LOOP AT it_events INTO ls_event WHERE name = slis_ev_top_of_page AND form IS NOT INITIAL.
    lv_form = ls_event-form.
    PERFORM (lv_form) IN PROGRAM (lv_program).
  ENDLOOP.

  LOOP AT it_outtab ASSIGNING <ls_row>.
    lv_json = '{'.
    LOOP AT it_fieldcat INTO ls_fc.
      lv_field = ls_fc-fieldname.
      ASSIGN COMPONENT lv_field OF STRUCTURE <ls_row> TO <lv_cell>.
      IF sy-subrc <> 0.
        CONCATENATE '{"error":"the field catalogue names ' lv_field ', which the output table lacks"}' INTO lv_part.
        PERFORM emit USING lv_part.
        CONTINUE.
      ENDIF.
      PERFORM json_member USING lv_field <lv_cell> CHANGING lv_json.
    ENDLOOP.
    CONCATENATE lv_json '}' INTO lv_json.
    CONCATENATE '{"row":' lv_json '}' INTO lv_json.
    PERFORM emit USING lv_json.
    lv_rows = lv_rows + 1.
  ENDLOOP.

  lv_json = '{'.
  PERFORM json_member USING 'end' iv_function CHANGING lv_json.
  PERFORM json_member USING 'rows' lv_rows CHANGING lv_json.
  CONCATENATE lv_json '}' INTO lv_json.
  PERFORM emit USING lv_json.
ENDFORM.

FORM fill_layouts.
  DATA ls_layout TYPE ty_layout.
  IF gt_layouts IS NOT INITIAL.
    RETURN.
  ENDIF.
  ls_layout-variant = '/ORVEX'.
  ls_layout-text = 'Standard layout'.
  APPEND ls_layout TO gt_layouts.
  ls_layout-variant = '/WIDE'.
  ls_layout-text = 'All columns'.
  APPEND ls_layout TO gt_layouts.
ENDFORM.

* The label of a field in a language, from the run's labels; empty when
* there is none.
FORM dictionary_label USING iv_table TYPE any iv_field TYPE any iv_langu TYPE any
                      CHANGING cv_label TYPE string.
  DATA lv_line TYPE string.
  DATA lv_key TYPE string.
  DATA lv_table TYPE string.
  DATA lv_field TYPE string.
  DATA lv_langu TYPE string.
  DATA lv_length TYPE i.
  CLEAR cv_label.
  lv_table = iv_table.
  lv_field = iv_field.
  lv_langu = iv_langu.
  TRANSLATE lv_table TO UPPER CASE.
  TRANSLATE lv_field TO UPPER CASE.
  CONCATENATE lv_langu '|' lv_table '|' lv_field '|' INTO lv_key.
  lv_length = strlen( lv_key ).
  OPEN DATASET gc_labels FOR INPUT IN TEXT MODE ENCODING UTF-8.
  IF sy-subrc <> 0.
    RETURN.
  ENDIF.
  DO.
    READ DATASET gc_labels INTO lv_line.
    IF sy-subrc <> 0.
      EXIT.
    ENDIF.
    IF strlen( lv_line ) > lv_length AND lv_line(lv_length) = lv_key.
      cv_label = lv_line+lv_length.
      EXIT.
    ENDIF.
  ENDDO.
  CLOSE DATASET gc_labels.
ENDFORM.

* The ALV takes a column's texts it is not given from the dictionary field
* the catalogue refers to (REF_TABNAME, REF_FIELDNAME or the field's own
* name), in the logon language.
FORM dictionary_headings CHANGING ct_fieldcat TYPE slis_t_fieldcat_alv.
  DATA lv_label TYPE string.
  DATA lv_field TYPE string.
  FIELD-SYMBOLS <ls_fc> TYPE slis_fieldcat_alv.
  LOOP AT ct_fieldcat ASSIGNING <ls_fc> WHERE ref_tabname IS NOT INITIAL.
    IF <ls_fc>-seltext_s IS NOT INITIAL OR <ls_fc>-seltext_m IS NOT INITIAL OR <ls_fc>-seltext_l IS NOT INITIAL.
      CONTINUE.
    ENDIF.
    lv_field = <ls_fc>-ref_fieldname.
    IF lv_field IS INITIAL.
      lv_field = <ls_fc>-fieldname.
    ENDIF.
    PERFORM dictionary_label USING <ls_fc>-ref_tabname lv_field sy-langu CHANGING lv_label.
    <ls_fc>-seltext_s = lv_label.
    <ls_fc>-seltext_m = lv_label.
    <ls_fc>-seltext_l = lv_label.
  ENDLOOP.
ENDFORM.
