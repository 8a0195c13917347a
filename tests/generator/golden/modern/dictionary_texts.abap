*&---------------------------------------------------------------------*
*& Report ZGOLDEN_DICTIONARY_TEXTS
*& Flights with the dictionary's labels
*&---------------------------------------------------------------------*
REPORT zgolden_dictionary_texts.

TABLES sflight.

SELECTION-SCREEN BEGIN OF BLOCK b1 WITH FRAME.
SELECTION-SCREEN BEGIN OF LINE.
SELECTION-SCREEN COMMENT 1(20) sc_carri.
PARAMETERS p_carrid TYPE scarr-carrid OBLIGATORY DEFAULT 'LH'.
SELECTION-SCREEN END OF LINE.
SELECTION-SCREEN BEGIN OF LINE.
SELECTION-SCREEN COMMENT 1(20) sc_fldat.
SELECT-OPTIONS s_fldate FOR sflight-fldate.
SELECTION-SCREEN END OF LINE.
SELECTION-SCREEN SKIP 1.
SELECTION-SCREEN END OF BLOCK b1.

SELECTION-SCREEN BEGIN OF BLOCK b2 WITH FRAME.
SELECTION-SCREEN BEGIN OF LINE.
SELECTION-SCREEN COMMENT 1(24) sc_max.
PARAMETERS p_max TYPE i DEFAULT 200.
SELECTION-SCREEN END OF LINE.
SELECTION-SCREEN BEGIN OF LINE.
SELECTION-SCREEN COMMENT 1(24) sc_vari.
PARAMETERS p_vari TYPE disvariant-variant.
SELECTION-SCREEN END OF LINE.
SELECTION-SCREEN END OF BLOCK b2.

CLASS lcl_report DEFINITION FINAL.
  PUBLIC SECTION.
    METHODS run.
    CLASS-METHODS default_layout
      RETURNING
        VALUE(rv_layout) TYPE disvariant-variant.
    CLASS-METHODS layout_value_help
      CHANGING
        cv_layout TYPE disvariant-variant.
    CLASS-METHODS dictionary_label
      IMPORTING
        iv_table        TYPE ddobjname
        iv_field        TYPE dfies-lfieldname
        iv_typed        TYPE csequence
      RETURNING
        VALUE(rv_label) TYPE string.

  PRIVATE SECTION.
    TYPES:
      BEGIN OF ty_output,
        carrname TYPE scarr-carrname,
        fldate   TYPE sflight-fldate,
        price    TYPE sflight-price,
      END OF ty_output,
      ty_output_tab TYPE STANDARD TABLE OF ty_output WITH EMPTY KEY.

    DATA mt_output TYPE ty_output_tab.
    DATA mo_alv TYPE REF TO cl_salv_table.

    METHODS select_data.
    METHODS check_authority
      IMPORTING
        iv_table TYPE dd25v-viewname.
    METHODS display
      RAISING
        cx_salv_msg
        cx_salv_not_found.
    METHODS set_column_text
      IMPORTING
        io_columns TYPE REF TO cl_salv_columns_table
        iv_column  TYPE lvc_fname
        iv_text    TYPE csequence
      RAISING
        cx_salv_not_found.
    METHODS heading
      RETURNING
        VALUE(ro_heading) TYPE REF TO cl_salv_form_layout_grid.
    METHODS on_top_of_page
      FOR EVENT top_of_page OF cl_salv_events_table
      IMPORTING
        r_top_of_page.
ENDCLASS.

CLASS lcl_report IMPLEMENTATION.
  METHOD run.
    select_data( ).
    TRY.
        display( ).
      CATCH cx_salv_msg cx_salv_not_found INTO DATA(lx_error).
        MESSAGE lx_error TYPE 'I' DISPLAY LIKE 'E'.
    ENDTRY.
  ENDMETHOD.

  METHOD select_data.
    check_authority( 'SCARR' ).
    check_authority( 'SFLIGHT' ).
    SELECT a~carrname, b~fldate, b~price
      FROM scarr AS a
      INNER JOIN sflight AS b ON a~carrid = b~carrid
      INTO TABLE @mt_output
      UP TO @p_max ROWS
      WHERE a~carrid = @p_carrid
        AND b~fldate IN @s_fldate
      ORDER BY a~carrname, b~fldate, b~price ##SUBRC_OK.
  ENDMETHOD.

  METHOD check_authority.
    CALL FUNCTION 'VIEW_AUTHORITY_CHECK'
      EXPORTING
        view_action                    = 'S'
        view_name                      = iv_table
      EXCEPTIONS
        invalid_action                 = 1
        no_authority                   = 2
        no_clientindependent_authority = 3
        table_not_found                = 4
        no_linedependent_authority     = 5.
    IF sy-subrc = 2 OR sy-subrc = 3 OR sy-subrc = 5.
      MESSAGE |{ 'No authorisation to display table'(001) } { iv_table }| TYPE 'S' DISPLAY LIKE 'E'.
      LEAVE LIST-PROCESSING.
    ENDIF.
  ENDMETHOD.

  METHOD display.
    cl_salv_table=>factory( EXPORTING list_display = abap_true
                            IMPORTING r_salv_table = mo_alv
                            CHANGING  t_table      = mt_output ).
    mo_alv->get_functions( )->set_all( abap_true ).

    DATA(lo_columns) = mo_alv->get_columns( ).
    lo_columns->set_optimize( abap_true ).
    set_column_text( io_columns = lo_columns
                     iv_column  = 'PRICE'
                     iv_text    = 'Price per seat'(002) ).

    DATA(lo_layout) = mo_alv->get_layout( ).
    lo_layout->set_key( VALUE salv_s_layout_key( report = sy-repid ) ).
    lo_layout->set_save_restriction( if_salv_c_layout=>restrict_none ).
    lo_layout->set_default( abap_true ).
    lo_layout->set_initial_layout( p_vari ).

    SET HANDLER on_top_of_page FOR mo_alv->get_event( ).
    mo_alv->display( ).
  ENDMETHOD.

  METHOD set_column_text.
    DATA(lo_column) = io_columns->get_column( iv_column ).
    lo_column->set_long_text( CONV #( iv_text ) ).
    lo_column->set_medium_text( CONV #( iv_text ) ).
    lo_column->set_short_text( CONV #( iv_text ) ).
  ENDMETHOD.

  METHOD heading.
    ro_heading = NEW #( ).
    ro_heading->create_header_information( row    = 1
                                           column = 1
                                           text   = 'Flights of one airline'(003) ).
    ro_heading->create_text( row    = 2
                             column = 1
                             text   = |{ 'Date:'(004) } { sy-datum DATE = USER }| ).
  ENDMETHOD.

  METHOD on_top_of_page.
    r_top_of_page->set_content( heading( ) ).
  ENDMETHOD.

  METHOD default_layout.
    DATA(ls_variant) = VALUE disvariant( report = sy-repid ).
    CALL FUNCTION 'REUSE_ALV_VARIANT_DEFAULT_GET'
      EXPORTING
        i_save     = 'A'
      CHANGING
        cs_variant = ls_variant
      EXCEPTIONS
        not_found  = 2.
    IF sy-subrc = 0.
      rv_layout = ls_variant-variant.
    ENDIF.
  ENDMETHOD.

  METHOD layout_value_help.
    DATA(ls_variant) = VALUE disvariant( report = sy-repid ).
    CALL FUNCTION 'REUSE_ALV_VARIANT_F4'
      EXPORTING
        is_variant = ls_variant
        i_save     = 'A'
      IMPORTING
        es_variant = ls_variant
      EXCEPTIONS
        not_found  = 2.
    IF sy-subrc = 0.
      cv_layout = ls_variant-variant.
    ENDIF.
  ENDMETHOD.

  METHOD dictionary_label.
    DATA ls_field TYPE dfies.
    rv_label = iv_typed.
    CALL FUNCTION 'DDIF_FIELDINFO_GET'
      EXPORTING
        tabname        = iv_table
        lfieldname     = iv_field
        langu          = sy-langu
      IMPORTING
        dfies_wa       = ls_field
      EXCEPTIONS
        not_found      = 1
        internal_error = 2
        OTHERS         = 3.
    IF sy-subrc = 0 AND ls_field-scrtext_m IS NOT INITIAL.
      rv_label = ls_field-scrtext_m.
    ENDIF.
  ENDMETHOD.
ENDCLASS.

INITIALIZATION.
  sc_carri = lcl_report=>dictionary_label( iv_table = 'SCARR'
                                           iv_field = 'CARRID'
                                           iv_typed = 'Airline'(005) ).
  sc_fldat = 'Flown on'(006).
  sc_max = 'Maximum number of hits'(007).
  sc_vari = 'Layout'(008).
  p_vari = lcl_report=>default_layout( ).

AT SELECTION-SCREEN ON p_max.
  IF p_max < 0.
    MESSAGE 'Enter 0 (every row) or a positive number of hits'(009) TYPE 'E'.
  ENDIF.

AT SELECTION-SCREEN ON VALUE-REQUEST FOR p_vari.
  lcl_report=>layout_value_help( CHANGING cv_layout = p_vari ).

START-OF-SELECTION.
  NEW lcl_report( )->run( ).
