* Stand-in for SAP's SALV table of the execution tests. The report builds it
* with FACTORY and configures it through the objects the GET_ methods hand
* out; DISPLAY writes what it would show: one line with every setting
* (functions, columns and their texts, layout, sorts, aggregations, display
* settings, top of list), in the list display the top of the first page as
* the report's TOP_OF_PAGE handlers fill it, then one line per row of the
* table with its cells in the order of the line's components.
CLASS cl_salv_table DEFINITION PUBLIC FINAL CREATE PRIVATE.
  PUBLIC SECTION.
    CLASS-METHODS factory
      IMPORTING list_display TYPE abap_bool DEFAULT abap_false
      EXPORTING r_salv_table TYPE REF TO cl_salv_table
      CHANGING  t_table      TYPE STANDARD TABLE
      RAISING   cx_salv_msg.
    METHODS get_functions
      RETURNING VALUE(value) TYPE REF TO cl_salv_functions_list.
    METHODS get_columns
      RETURNING VALUE(value) TYPE REF TO cl_salv_columns_table.
    METHODS get_layout
      RETURNING VALUE(value) TYPE REF TO cl_salv_layout.
    METHODS get_sorts
      RETURNING VALUE(value) TYPE REF TO cl_salv_sorts.
    METHODS get_aggregations
      RETURNING VALUE(value) TYPE REF TO cl_salv_aggregations.
    METHODS get_display_settings
      RETURNING VALUE(value) TYPE REF TO cl_salv_display_settings.
    METHODS get_event
      RETURNING VALUE(value) TYPE REF TO cl_salv_events_table.
    METHODS set_top_of_list
      IMPORTING value TYPE REF TO cl_salv_form_element.
    METHODS display.
  PRIVATE SECTION.
    DATA mr_table TYPE REF TO data.
    DATA mv_list_display TYPE abap_bool.
    DATA mo_functions TYPE REF TO cl_salv_functions_list.
    DATA mo_columns TYPE REF TO cl_salv_columns_table.
    DATA mo_layout TYPE REF TO cl_salv_layout.
    DATA mo_sorts TYPE REF TO cl_salv_sorts.
    DATA mo_aggregations TYPE REF TO cl_salv_aggregations.
    DATA mo_display TYPE REF TO cl_salv_display_settings.
    DATA mo_events TYPE REF TO cl_salv_events_table.
    DATA mo_top_of_list TYPE REF TO cl_salv_form_element.
    METHODS rows.
ENDCLASS.

CLASS cl_salv_table IMPLEMENTATION.
  METHOD factory.
    DATA lv_json TYPE string.
    CREATE OBJECT r_salv_table.
    GET REFERENCE OF t_table INTO r_salv_table->mr_table.
    r_salv_table->mv_list_display = list_display.
    CREATE OBJECT r_salv_table->mo_functions.
    CREATE OBJECT r_salv_table->mo_columns
      EXPORTING
        ir_table = r_salv_table->mr_table.
    CREATE OBJECT r_salv_table->mo_layout.
    CREATE OBJECT r_salv_table->mo_sorts
      EXPORTING
        io_columns = r_salv_table->mo_columns.
    CREATE OBJECT r_salv_table->mo_aggregations
      EXPORTING
        io_columns = r_salv_table->mo_columns.
    CREATE OBJECT r_salv_table->mo_display.
    CREATE OBJECT r_salv_table->mo_events.
    lv_json = '{'.
    zcl_salv_capture=>member( EXPORTING iv_name = 'call' iv_value = 'CL_SALV_TABLE=>FACTORY' CHANGING cv_json = lv_json ).
    zcl_salv_capture=>member( EXPORTING iv_name = 'LIST_DISPLAY' iv_value = list_display CHANGING cv_json = lv_json ).
    CONCATENATE lv_json '}' INTO lv_json.
    zcl_salv_capture=>emit( lv_json ).
  ENDMETHOD.

  METHOD get_functions.
    value = mo_functions.
  ENDMETHOD.

  METHOD get_columns.
    value = mo_columns.
  ENDMETHOD.

  METHOD get_layout.
    value = mo_layout.
  ENDMETHOD.

  METHOD get_sorts.
    value = mo_sorts.
  ENDMETHOD.

  METHOD get_aggregations.
    value = mo_aggregations.
  ENDMETHOD.

  METHOD get_display_settings.
    value = mo_display.
  ENDMETHOD.

  METHOD get_event.
    value = mo_events.
  ENDMETHOD.

  METHOD set_top_of_list.
    mo_top_of_list = value.
  ENDMETHOD.

  METHOD display.
    DATA lv_json TYPE string.
    DATA lv_part TYPE string.
    DATA lo_form TYPE REF TO cl_salv_form.
    DATA lo_content TYPE REF TO cl_salv_form_element.
    lv_json = '{'.
    zcl_salv_capture=>member( EXPORTING iv_name = 'call' iv_value = 'CL_SALV_TABLE->DISPLAY' CHANGING cv_json = lv_json ).
    zcl_salv_capture=>member( EXPORTING iv_name = 'LIST_DISPLAY' iv_value = mv_list_display CHANGING cv_json = lv_json ).
    zcl_salv_capture=>raw_member( EXPORTING iv_name = 'FUNCTIONS' iv_raw = mo_functions->to_json( )
                                  CHANGING cv_json = lv_json ).
    zcl_salv_capture=>raw_member( EXPORTING iv_name = 'COLUMNS' iv_raw = mo_columns->to_json( )
                                  CHANGING cv_json = lv_json ).
    zcl_salv_capture=>raw_member( EXPORTING iv_name = 'LAYOUT' iv_raw = mo_layout->to_json( )
                                  CHANGING cv_json = lv_json ).
    zcl_salv_capture=>raw_member( EXPORTING iv_name = 'SORTS' iv_raw = mo_sorts->to_json( )
                                  CHANGING cv_json = lv_json ).
    zcl_salv_capture=>raw_member( EXPORTING iv_name = 'AGGREGATIONS' iv_raw = mo_aggregations->to_json( )
                                  CHANGING cv_json = lv_json ).
    zcl_salv_capture=>raw_member( EXPORTING iv_name = 'DISPLAY_SETTINGS' iv_raw = mo_display->to_json( )
                                  CHANGING cv_json = lv_json ).
    lv_part = 'null'.
    IF mo_top_of_list IS BOUND.
      lv_part = mo_top_of_list->to_json( ).
    ENDIF.
    zcl_salv_capture=>raw_member( EXPORTING iv_name = 'TOP_OF_LIST' iv_raw = lv_part CHANGING cv_json = lv_json ).
    CONCATENATE lv_json '}' INTO lv_json.
    zcl_salv_capture=>emit( lv_json ).

    " The grid raises TOP_OF_PAGE only when it prints; the list at the top of each page.
    IF mv_list_display = abap_true.
      CREATE OBJECT lo_form.
      mo_events->raise_top_of_page( io_form = lo_form iv_page = 1 iv_index = 1 ).
      lo_content = lo_form->get_content( ).
      lv_part = 'null'.
      IF lo_content IS BOUND.
        lv_part = lo_content->to_json( ).
      ENDIF.
      lv_json = '{'.
      zcl_salv_capture=>member( EXPORTING iv_name = 'call' iv_value = 'TOP_OF_PAGE' CHANGING cv_json = lv_json ).
      zcl_salv_capture=>member( EXPORTING iv_name = 'PAGE' iv_value = 1 CHANGING cv_json = lv_json ).
      zcl_salv_capture=>raw_member( EXPORTING iv_name = 'CONTENT' iv_raw = lv_part CHANGING cv_json = lv_json ).
      CONCATENATE lv_json '}' INTO lv_json.
      zcl_salv_capture=>emit( lv_json ).
    ENDIF.
    rows( ).
  ENDMETHOD.

  METHOD rows.
    DATA lv_json TYPE string.
    DATA lv_cells TYPE string.
    DATA lv_index TYPE i.
    DATA lv_rows TYPE i.
    FIELD-SYMBOLS <lt_table> TYPE STANDARD TABLE.
    FIELD-SYMBOLS <ls_row> TYPE any.
    FIELD-SYMBOLS <lv_cell> TYPE any.
    ASSIGN mr_table->* TO <lt_table>.
    LOOP AT <lt_table> ASSIGNING <ls_row>.
      lv_cells = '['.
      lv_index = 1.
      DO.
        ASSIGN COMPONENT lv_index OF STRUCTURE <ls_row> TO <lv_cell>.
        IF sy-subrc <> 0.
          EXIT.
        ENDIF.
        zcl_salv_capture=>item( EXPORTING iv_raw = zcl_salv_capture=>value( <lv_cell> ) CHANGING cv_json = lv_cells ).
        lv_index = lv_index + 1.
      ENDDO.
      CONCATENATE lv_cells ']' INTO lv_cells.
      CONCATENATE '{"cells":' lv_cells '}' INTO lv_json.
      zcl_salv_capture=>emit( lv_json ).
      lv_rows = lv_rows + 1.
    ENDLOOP.
    lv_json = '{'.
    zcl_salv_capture=>member( EXPORTING iv_name = 'end' iv_value = 'CL_SALV_TABLE->DISPLAY' CHANGING cv_json = lv_json ).
    zcl_salv_capture=>member( EXPORTING iv_name = 'rows' iv_value = lv_rows CHANGING cv_json = lv_json ).
    CONCATENATE lv_json '}' INTO lv_json.
    zcl_salv_capture=>emit( lv_json ).
  ENDMETHOD.
ENDCLASS.
